#include "engine/plat_iphone/CIphoneGame.h"

int main(int argc, char** argv) { return CIphoneGame::Start(argc, argv); }
