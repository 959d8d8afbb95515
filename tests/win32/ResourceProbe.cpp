// Carries the program's Windows resources for the resource tests, which read them without
// starting it (the manifest asks for administrator rights).
int main() {
    return 0;
}
