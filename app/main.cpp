// main.cpp -- the demo takes no arguments and reads no configuration.
#include "app/shell.h"

int main() { RunDemo(); }
