namespace kura {
const char *QueryVersion() { return "1.0"; }
}
