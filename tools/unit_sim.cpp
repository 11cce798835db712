// STUB: replaced by the link work.
int main() { return 0; }
