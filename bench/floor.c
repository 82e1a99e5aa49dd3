/* The floor of the benchmark: a C program that does nothing but write a
   one-line output.dat, built with gcc -O2 -static. What it costs is the
   price of starting a process and writing a file, which no change to
   xrdcalc can go below; the program's targets are ratios to it. */
#include <stdio.h>

int main(void) {
  FILE* file = fopen("output.dat", "w");
  if (!file) return 1;
  fputs("0\n", file);
  return fclose(file) == 0 ? 0 : 1;
}
