extern "C" int notAGauge() { return 0; }
