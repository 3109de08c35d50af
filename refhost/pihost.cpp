// pihost: loads a filter plug-in and runs it on a document.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) std::fprintf(stderr, "usage: pihost PLUGIN [--selectors]\n");
    return 2;
}
