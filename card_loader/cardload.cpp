#include "card_loader/card_loader.h"

int main(int argc, char** argv) {
    return RunCardLoader(argc, argv);
}
