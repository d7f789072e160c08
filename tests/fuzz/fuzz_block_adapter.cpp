// Feeds arbitrary text to the block adapter in both modes and checks that what it fills stays
// within its bounds: every count in range, every text terminated, every index valid.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "block_adapter.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

bool Terminated(const char *text, size_t size)
{
    return memchr(text, 0, size) != nullptr;
}

void CheckOperand(const BlockPlan &plan, const BlockOperand &operand)
{
    switch (operand.kind) {
    case OPERAND_BIND: Check(operand.index >= 0 && operand.index < plan.bindCount); break;
    case OPERAND_LOCAL: Check(operand.index >= 0 && operand.index < plan.localCount); break;
    case OPERAND_TEXT:
    case OPERAND_NUMBER:
        Check(operand.index >= 0 && (size_t)operand.index < plan.literalsUsed);
        Check(Terminated(plan.literals + operand.index, plan.literalsUsed - operand.index));
        break;
    case OPERAND_NULL: break;
    default: Check(false);
    }
}

void CheckPlan(const BlockPlan &plan)
{
    Check(plan.localCount >= 0 && plan.localCount <= BLOCK_MAX_LOCALS);
    Check(plan.bindCount >= 0 && plan.bindCount <= BLOCK_MAX_BINDS);
    Check(plan.stepCount >= 0 && plan.stepCount <= BLOCK_MAX_STEPS);
    Check(plan.literalsUsed <= BLOCK_LITERAL_POOL);
    for (int i = 0; i < plan.localCount; i++) {
        Check(Terminated(plan.localNames[i], BLOCK_NAME_SIZE));
        Check(plan.localSizes[i] > 0 && plan.localSizes[i] <= BLOCK_LOCAL_MAX);
    }
    for (int i = 0; i < plan.bindCount; i++)
        Check(Terminated(plan.bindNames[i], BLOCK_NAME_SIZE));
    for (int i = 0; i < plan.stepCount; i++) {
        const BlockStep &step = plan.steps[i];
        Check(step.target.kind == OPERAND_BIND || step.target.kind == OPERAND_LOCAL);
        CheckOperand(plan, step.target);
        if (step.isCall) {
            Check(Terminated(step.sql, BLOCK_SQL_SIZE));
            Check(step.argCount >= 0 && step.argCount <= BLOCK_MAX_ARGS);
            for (int a = 0; a < step.argCount; a++)
                CheckOperand(plan, step.args[a]);
        } else {
            CheckOperand(plan, step.value);
        }
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static BlockPlan plan;
    char error[BLOCK_ERROR_SIZE];
    const char *text = (const char *)data;

    memset(error, 'x', sizeof error);
    if (PlanAnonymousBlock(text, size, &plan, error, sizeof error))
        CheckPlan(plan);
    else
        Check(Terminated(error, sizeof error) && error[0] != '\0');

    memset(error, 'x', sizeof error);
    if (RewritePlaceholders(text, size, &plan, error, sizeof error)) {
        Check(Terminated(plan.text, BLOCK_TEXT_SIZE));
        Check(plan.positionCount >= 0 && plan.positionCount <= BLOCK_MAX_POSITIONS);
        Check(plan.bindCount >= 0 && plan.bindCount <= BLOCK_MAX_BINDS);
        for (int i = 0; i < plan.positionCount; i++)
            Check(plan.positions[i] >= 0 && plan.positions[i] < plan.bindCount);
    } else {
        Check(Terminated(error, sizeof error) && error[0] != '\0');
    }

    // Lookups by any name, including one that is not terminated within the input.
    if (size > 0) {
        int bind = FindBlockBind(&plan, text, (long)(size < 64 ? size : 64));
        Check(bind >= -1 && bind < BLOCK_MAX_BINDS);
    }
    return 0;
}
