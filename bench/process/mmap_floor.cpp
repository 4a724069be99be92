// The floor of a fresh process answering from its cache files: a program that
// only execs, opens and maps each file named and reads one byte of it, with
// nothing of WayfindInfo linked in. whole_process.py times it beside
// `wayfind call DatasInfo.GetDetailFunc` on the same files.
//
//   bench_mmap_floor FILE...
#include "touch_files.h"

int main(int argc, char** argv) {
  const long sum = touchFiles(argv + 1, argv + argc);
  if (sum < 0) return 1;
  return sum == 0x7fffffff ? 3 : 0;  // the byte is used, so it is read
}
