// What both floors of a fresh query do with the cache files: open and map each
// file named, read one byte of it, and return the bytes summed (so that they are
// read); -1 when a file cannot be opened or mapped.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

inline long touchFiles(char** first, char** last) {
  unsigned sum = 0;
  for (char** name = first; name != last; ++name) {
    int fd = ::open(*name, O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0) {
      std::fprintf(stderr, "cannot open %s\n", *name);
      return -1;
    }
    void* at = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (at == MAP_FAILED) return -1;
    sum += static_cast<const volatile unsigned char*>(at)[st.st_size / 2];
  }
  return sum;
}
