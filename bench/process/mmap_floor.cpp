// The floor of a fresh process answering from its cache files: a program that
// only execs, opens and maps each file named and reads one byte of it, with
// nothing of WayfindInfo linked in. whole_process.py times it beside
// `wayfind call DatasInfo.GetDetailFunc` on the same files.
//
//   bench_mmap_floor FILE...
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  unsigned sum = 0;
  for (int i = 1; i < argc; ++i) {
    int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0) {
      std::fprintf(stderr, "cannot open %s\n", argv[i]);
      return 1;
    }
    void* at = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (at == MAP_FAILED) return 1;
    sum += static_cast<const volatile unsigned char*>(at)[st.st_size / 2];
    ::close(fd);
  }
  return sum == 0x7fffffff ? 3 : 0;  // the byte is used, so it is read
}
