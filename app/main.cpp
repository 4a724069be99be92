// Placeholder until the command line arrives.
int main() { return 0; }
