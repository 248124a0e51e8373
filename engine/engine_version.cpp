namespace kura {
const char *EngineVersion() { return "1.0"; }
}
