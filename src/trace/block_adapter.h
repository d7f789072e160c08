// Turns a PL/SQL-style anonymous block into a plan of server calls, for servers that cannot run
// such a block themselves, and rewrites named placeholders for servers that can.
// Pure text in, plan out: no windows.h, so it builds natively for fuzzing. Used by db_client.
#ifndef VANTREL_BLOCK_ADAPTER_H
#define VANTREL_BLOCK_ADAPTER_H

#include <cstddef>

const size_t BLOCK_NAME_SIZE = 31;      // identifiers and placeholder names, 30 characters at most
const int BLOCK_MAX_LOCALS = 8;
const int BLOCK_MAX_BINDS = 8;          // distinct placeholders
const int BLOCK_MAX_STEPS = 8;          // assignments
const int BLOCK_MAX_ARGS = 8;           // arguments of one call
const int BLOCK_MAX_POSITIONS = 32;     // placeholder occurrences in a block run as written
const int BLOCK_LOCAL_MAX = 4000;       // bytes a local VARCHAR2 may declare
const size_t BLOCK_LITERAL_POOL = 2048; // all literal texts of one block, each terminated
const size_t BLOCK_SQL_SIZE = 160;      // generated statement of one call step
const size_t BLOCK_TEXT_SIZE = 4096;    // a whole block rewritten for a server that runs it
const size_t BLOCK_ERROR_SIZE = 256;    // room for a parse failure's explanation

enum BlockOperandKind { OPERAND_BIND, OPERAND_LOCAL, OPERAND_TEXT, OPERAND_NUMBER, OPERAND_NULL };

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
    char localNames[BLOCK_MAX_LOCALS][BLOCK_NAME_SIZE]; // lower case
    int localSizes[BLOCK_MAX_LOCALS];   // declared capacity in bytes
    int bindCount;
    char bindNames[BLOCK_MAX_BINDS][BLOCK_NAME_SIZE]; // lower case, without the colon
    int stepCount;
    BlockStep steps[BLOCK_MAX_STEPS];
    char literals[BLOCK_LITERAL_POOL];
    size_t literalsUsed;
    // Rewritten text for a server that runs blocks itself: placeholders become '?'
    char text[BLOCK_TEXT_SIZE];
    int positionCount;
    int positions[BLOCK_MAX_POSITIONS]; // bind index at each '?', in order
};

// Parses a block of the form
//   [DECLARE name VARCHAR2(n); ...] BEGIN target := expression; ... END;
// where a target is a local or :placeholder and an expression is a :placeholder, a local, a
// literal ('text', a number, NULL) or a call schema.function(arguments) whose arguments are
// placeholders, locals or literals. Fills plan (steps, locals, binds, one SELECT per call).
// Returns 1, or 0 with a sentence naming the refused construct in error (always terminated).
int PlanAnonymousBlock(const char *text, size_t length, BlockPlan *plan, char *error, size_t errorSize);

// For a server that runs the block as written: copies it into plan->text with every :name
// outside string literals, quoted names and comments replaced by '?', and records which bind
// each '?' stands for. Returns 1, or 0 with the reason in error.
int RewritePlaceholders(const char *text, size_t length, BlockPlan *plan, char *error, size_t errorSize);

// Index of the bind called name (with or without its leading colon, any case; length -1 when
// terminated), or -1 when the block has no such placeholder.
int FindBlockBind(const BlockPlan *plan, const char *name, long length);

#endif
