// Turns a PL/SQL-style anonymous block into a plan of server calls, for servers that cannot run
// such a block themselves, and rewrites named placeholders for servers that can.
// Pure text in, plan out: no windows.h, so it builds natively for fuzzing.
#ifndef VANTREL_BLOCK_ADAPTER_H
#define VANTREL_BLOCK_ADAPTER_H

#include <cstddef>

const size_t BLOCK_NAME_SIZE = 31;      // identifiers and placeholder names, 30 characters at most
const int BLOCK_MAX_LOCALS = 8;
const int BLOCK_MAX_BINDS = 8;          // distinct placeholders
const int BLOCK_MAX_STEPS = 8;          // assignments
const int BLOCK_MAX_ARGS = 8;           // arguments of one call
const size_t BLOCK_LITERAL_POOL = 2048; // all literal texts of one block, each terminated
const size_t BLOCK_SQL_SIZE = 512;      // generated statement of one call step
const size_t BLOCK_TEXT_SIZE = 4096;    // a whole block rewritten for a server that runs it

enum BlockOperandKind { OPERAND_BIND, OPERAND_LOCAL, OPERAND_LITERAL, OPERAND_NULL };

struct BlockOperand {
    BlockOperandKind kind;
    int index;                          // bind or local index, or offset into the literal pool
};

struct BlockStep {
    BlockOperand target;                // OPERAND_BIND or OPERAND_LOCAL
    int isCall;                         // 1: run sql with args; 0: copy value
    BlockOperand value;                 // when not a call
    char sql[BLOCK_SQL_SIZE];           // "SELECT name.name(?, ...)" when a call
    int argCount;
    BlockOperand args[BLOCK_MAX_ARGS];
};

struct BlockPlan {
    int localCount;
    char localNames[BLOCK_MAX_LOCALS][BLOCK_NAME_SIZE];
    int localSizes[BLOCK_MAX_LOCALS];   // declared character capacity
    int bindCount;
    char bindNames[BLOCK_MAX_BINDS][BLOCK_NAME_SIZE]; // without the colon, as written
    int stepCount;
    BlockStep steps[BLOCK_MAX_STEPS];
    char literals[BLOCK_LITERAL_POOL];
    size_t literalsUsed;
    // Rewritten text for a server that runs blocks itself: placeholders become '?'
    char text[BLOCK_TEXT_SIZE];
    int positionCount;
    int positions[BLOCK_MAX_BINDS * 4]; // bind index at each '?', in order
};

#endif
