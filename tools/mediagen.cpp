// Writes the game's media (placeholder until the generator is written).
int main() { return 0; }
