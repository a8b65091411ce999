// Entry point of the per-layer link-check programs: they link every object of one layer's
// library with the layers below it, and are never run.
int main() {
  return 0;
}
