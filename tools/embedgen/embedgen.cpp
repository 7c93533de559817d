// Placeholder until the image generator lands.
#include <cstdio>
#include <cstring>
int main(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], "--cpp") != 0) return 1;
  FILE* f = std::fopen(argv[2], "w");
  if (!f) return 1;
  std::fprintf(f, "alignas(16) static const unsigned char kTable[4] = {0,0,0,0};\n"
                  "const void* EmbeddedFiles_ProgramTable() { return kTable; }\n");
  std::fclose(f);
  return 0;
}
