/* A program that only carries a version block; the version tests read it. */
int main(void) { return 0; }
