// Brenvik: a program of the platform alone. It is linked with every object
// of the platform's archive and nothing else, so a call from the platform
// up into the library leaves a symbol unresolved and fails the build.
int main() { return 0; }
