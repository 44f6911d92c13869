// Placeholder until the DNG writer lands.
int main() { return 1; }
