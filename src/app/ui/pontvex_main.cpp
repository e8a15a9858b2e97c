#include "app/ui/Program.h"

int main(int argc, char** argv)
{
    return pontvex::runProgram(argc, argv);
}
