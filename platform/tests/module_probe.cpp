// A tiny shared library the module-loader test loads by its device name
// ("ModuleProbe.dll" -> libModuleProbe.so).
extern "C" __attribute__((visibility("default"))) int tunora_probe_answer();

extern "C" int tunora_probe_answer() { return 42; }
