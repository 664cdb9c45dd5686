// A module that loads but exports no principal-class entry.
extern "C" __attribute__((visibility("default"))) int kov_test_module_without_entry() {
  return 1;
}
