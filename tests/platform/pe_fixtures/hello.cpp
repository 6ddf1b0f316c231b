// The smallest program the cross compiler will link; only its headers and
// resources matter to the tests.
int main() { return 0; }
