// marrowick-engine: the rule engine process the expert system starts for
// itself (policy/EngineServer.h). It is not meant to be run by hand.
#include "policy/EngineServer.h"

int main(int argc, char** argv) { return RunEngineServer(argc, argv); }
