// The anonymous-block adapter: which blocks it turns into plans, what the plans hold, which blocks
// it refuses and how it names the refused construct; and the placeholder rewriting for servers
// that run blocks as written. Pure: no windows.h, builds natively as well.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "block_adapter.h"

namespace {

const char PROGRAM_BLOCK[] = "DECLARE rc VARCHAR2(2000); BEGIN rc:=vantrel.get(:p_nam); :retval:=rc; END;";

struct Planned {
    int ok;
    BlockPlan plan;
    char error[BLOCK_ERROR_SIZE];
};

// BlockPlan is large: keep it off the test's stack.
Planned *Plan(const std::string &text)
{
    static Planned result;
    memset(&result, 0x5A, sizeof result);
    result.ok = PlanAnonymousBlock(text.data(), text.size(), &result.plan, result.error, sizeof result.error);
    return &result;
}

const char *Literal(const BlockPlan &plan, const BlockOperand &operand)
{
    return plan.literals + operand.index;
}

}

TEST(BlockAdapter, PlansTheProgramsTraceBlock)
{
    Planned *r = Plan(PROGRAM_BLOCK);
    ASSERT_EQ(r->ok, 1) << r->error;
    const BlockPlan &plan = r->plan;
    ASSERT_EQ(plan.localCount, 1);
    EXPECT_STREQ(plan.localNames[0], "rc");
    EXPECT_EQ(plan.localSizes[0], 2000);
    ASSERT_EQ(plan.bindCount, 2);
    EXPECT_STREQ(plan.bindNames[0], "p_nam");
    EXPECT_STREQ(plan.bindNames[1], "retval");
    ASSERT_EQ(plan.stepCount, 2);

    const BlockStep &call = plan.steps[0];
    EXPECT_EQ(call.target.kind, OPERAND_LOCAL);
    EXPECT_EQ(call.target.index, 0);
    EXPECT_EQ(call.isCall, 1);
    EXPECT_STREQ(call.sql, "SELECT vantrel.get(?)");
    ASSERT_EQ(call.argCount, 1);
    EXPECT_EQ(call.args[0].kind, OPERAND_BIND);
    EXPECT_EQ(call.args[0].index, 0);

    const BlockStep &copy = plan.steps[1];
    EXPECT_EQ(copy.target.kind, OPERAND_BIND);
    EXPECT_EQ(copy.target.index, 1);
    EXPECT_EQ(copy.isCall, 0);
    EXPECT_EQ(copy.value.kind, OPERAND_LOCAL);
    EXPECT_EQ(copy.value.index, 0);
}

TEST(BlockAdapter, LiteralsAreKeptOutOfTheStatementText)
{
    // A quote inside a literal must never reach the SQL: values travel as parameters only.
    Planned *r = Plan("BEGIN :out := pkg.f('it''s; DROP TABLE x', 42, NULL, :in, 'x'); END;");
    ASSERT_EQ(r->ok, 1) << r->error;
    const BlockStep &step = r->plan.steps[0];
    EXPECT_STREQ(step.sql, "SELECT pkg.f(?, ?, ?, ?, ?)");
    ASSERT_EQ(step.argCount, 5);
    EXPECT_EQ(step.args[0].kind, OPERAND_TEXT);
    EXPECT_STREQ(Literal(r->plan, step.args[0]), "it's; DROP TABLE x");
    EXPECT_EQ(step.args[1].kind, OPERAND_NUMBER);
    EXPECT_STREQ(Literal(r->plan, step.args[1]), "42");
    EXPECT_EQ(step.args[2].kind, OPERAND_NULL);
    EXPECT_EQ(step.args[3].kind, OPERAND_BIND);
    EXPECT_STREQ(r->plan.bindNames[step.args[3].index], "in");
    EXPECT_STREQ(Literal(r->plan, step.args[4]), "x");
}

TEST(BlockAdapter, SamePlaceholderInAnyCaseIsOneBind)
{
    Planned *r = Plan("begin :A := s.f(:a, :Bee); :bee := :a; end");
    ASSERT_EQ(r->ok, 1) << r->error;
    EXPECT_EQ(r->plan.bindCount, 2);
    EXPECT_EQ(FindBlockBind(&r->plan, ":a", -1), 0);
    EXPECT_EQ(FindBlockBind(&r->plan, "A", -1), 0);
    EXPECT_EQ(FindBlockBind(&r->plan, ":BEE", -1), 1);
    EXPECT_EQ(FindBlockBind(&r->plan, ":beeXYZ", 4), 1);
    EXPECT_EQ(FindBlockBind(&r->plan, ":be", -1), -1);
    EXPECT_EQ(FindBlockBind(&r->plan, ":", -1), -1);
    EXPECT_EQ(FindBlockBind(&r->plan, "", -1), -1);
}

struct AcceptedCase {
    const char *block;
    int steps;
    const char *firstSql;               // "" when the first step is not a call
};

TEST(BlockAdapter, AcceptsBlocksOfAssignments)
{
    const AcceptedCase cases[] = {
        {PROGRAM_BLOCK, 2, "SELECT vantrel.get(?)"},
        {"DECLARE rc VARCHAR2(2000); BEGIN rc:=vantrel.get(:p_nam); :retval:=rc; END", 2, "SELECT vantrel.get(?)"},
        {"  declare\n  rc varchar2(10 byte);\n  other VARCHAR(5 CHAR);\nbegin\n  rc := 'x';\n  other := rc;\n  :o := other;\nend;\n", 3, ""},
        {"BEGIN :x := s.f(); END;", 1, "SELECT s.f()"},
        {"BEGIN :x := NULL; END;", 1, ""},
        {"BEGIN :x := -- a comment; with := inside\n s.f(:y); END;", 1, "SELECT s.f(?)"},
        {"/* lead */ BEGIN /* inner ; */ :x := 1.5; END; -- trailing", 1, ""},
        {"DECLARE BEGIN :x := :y; END;", 1, ""},
        {"BEGIN :a := s.f(:a,:b,:c,:d,:e,:f,:g,:h); END;", 1, "SELECT s.f(?, ?, ?, ?, ?, ?, ?, ?)"},
        {"DECLARE big VARCHAR2(4000); BEGIN big := s.f(); END;", 1, "SELECT s.f()"},
    };
    for (const AcceptedCase &c : cases) {
        Planned *r = Plan(c.block);
        EXPECT_EQ(r->ok, 1) << c.block << "\n" << r->error;
        if (!r->ok)
            continue;
        EXPECT_EQ(r->plan.stepCount, c.steps) << c.block;
        EXPECT_STREQ(r->plan.steps[0].sql, c.firstSql) << c.block;
    }
}

struct RejectedCase {
    const char *block;
    const char *named;                  // words the refusal must contain
};

TEST(BlockAdapter, RefusesOtherBlocksNamingTheConstruct)
{
    const RejectedCase cases[] = {
        {"", "does not start with DECLARE or BEGIN"},
        {"SELECT 1 FROM dual", "does not start with DECLARE or BEGIN"},
        {"BEGIN END;", "without any assignment"},
        {"BEGIN :x := 1;", "without END"},
        {"BEGIN IF :a = 1 THEN :x := 1; END IF; END;", "statement other than 'target := expression;'"},
        {"BEGIN s.p(:a); END;", "statement other than 'target := expression;'"},
        {"BEGIN :x := :a || :b; END;", "expression with operators"},
        {"BEGIN :x := 1 + 2; END;", "expression with operators"},
        {"BEGIN :x := s.f(:a) ; :y := 2; EXCEPTION WHEN OTHERS THEN NULL; END;", "EXCEPTION section"},
        {"BEGIN BEGIN :x := 1; END; END;", "nested block"},
        {"BEGIN :x := a.b.c(:y); END;", "more than two parts"},
        {"BEGIN :x := s.f; END;", "call without parentheses"},
        {"BEGIN :x := f(:y); END;", "call that is not schema.function(arguments)"},
        {"BEGIN :x := s.f(s.g(:y)); END;", "argument that is not a placeholder, local or literal"},
        {"BEGIN :x := s.f(:y,); END;", "argument that is not a placeholder, local or literal"},
        {"BEGIN rc := 1; END;", "assignment to a name that is not a declared local"},
        {"BEGIN :x := rc; END;", "name that is not a declared local"},
        {"BEGIN :x := 'open; END;", "string literal that is never closed"},
        {"BEGIN :x := 1; END; /* open", "comment that is never closed"},
        {"BEGIN :x := \"Q\".f(); END;", "quoted name"},
        {"BEGIN :x := 1; END; extra", "text after END"},
        {"DECLARE rc NUMBER; BEGIN :x := 1; END;", "local type other than VARCHAR2"},
        {"DECLARE rc VARCHAR2; BEGIN :x := 1; END;", "without its size"},
        {"DECLARE rc VARCHAR2(0); BEGIN :x := 1; END;", "size outside 1 to 4000"},
        {"DECLARE rc VARCHAR2(32767); BEGIN :x := 1; END;", "size outside 1 to 4000"},
        {"DECLARE rc VARCHAR2(99999999999999999999); BEGIN :x := 1; END;", "size outside 1 to 4000"},
        {"DECLARE rc VARCHAR2(10) := 'a'; BEGIN :x := rc; END;", "initial values are not supported"},
        {"DECLARE rc VARCHAR2(10); rc VARCHAR2(10); BEGIN :x := rc; END;", "declared twice"},
        {"DECLARE end VARCHAR2(10); BEGIN :x := 1; END;", "declaration that is not"},
        {"BEGIN :a := s.f(:a,:b,:c,:d,:e,:f,:g,:h,:i); END;", "more than 8 arguments"},
        {"BEGIN :a:=1; :b:=1; :c:=1; :d:=1; :e:=1; :f:=1; :g:=1; :h:=1; :i:=1; END;", "more than 8 assignments"},
        {"BEGIN :x := s.f(:a,:b,:c,:d,:e,:f,:g,:h); END;", "more than 8 different placeholders"},
        {"BEGIN :x := 1 END;", "expression with operators"},
        {"BEGIN :x = 1; END;", "statement other than 'target := expression;'"},
        {"BEGIN :x := s.f(:a); RETURN; END;", "statement other than 'target := expression;'"},
        {"BEGIN :x := s.f@remote(:a); END;", "unexpected character"},
        {"BEGIN :abcdefghijklmnopqrstuvwxyz12345 := 1; END;", "longer than 30 characters"},
    };
    for (const RejectedCase &c : cases) {
        Planned *r = Plan(c.block);
        EXPECT_EQ(r->ok, 0) << c.block;
        EXPECT_NE(std::string(r->error).find(c.named), std::string::npos)
            << "block: " << c.block << "\nrefusal: " << r->error;
        EXPECT_EQ(std::string(r->error).rfind("Block not supported", 0), 0u) << r->error;
    }
}

TEST(BlockAdapter, RefusalNamesWhereTheConstructStarts)
{
    Planned *r = Plan("BEGIN :x := 1; LOOP NULL; END LOOP; END;");
    ASSERT_EQ(r->ok, 0);
    EXPECT_STREQ(r->error, "Block not supported: a statement other than 'target := expression;' at character 16 (\"LOOP\")");
}

TEST(BlockAdapter, RefusalNeverOverrunsASmallErrorBuffer)
{
    char error[16];
    memset(error, '#', sizeof error);
    BlockPlan *plan = new BlockPlan;
    EXPECT_EQ(PlanAnonymousBlock("BEGIN x; END;", 13, plan, error, 10), 0);
    EXPECT_EQ(strlen(error), 9u);
    for (size_t i = 10; i < sizeof error; i++)
        EXPECT_EQ(error[i], '#');
    delete plan;
}

TEST(BlockAdapter, ReadsOnlyTheGivenLength)
{
    // The text after the length is not part of the block.
    const char text[] = "BEGIN :x := 1; END;garbage";
    BlockPlan *plan = new BlockPlan;
    char error[BLOCK_ERROR_SIZE];
    EXPECT_EQ(PlanAnonymousBlock(text, 19, plan, error, sizeof error), 1) << error;
    EXPECT_EQ(PlanAnonymousBlock(text, 12, plan, error, sizeof error), 0);
    delete plan;
}

struct RewriteCase {
    const char *block;
    const char *rewritten;
    const char *binds;                  // bind name per '?', space separated
};

TEST(BlockAdapter, RewritesPlaceholdersOutsideLiteralsAndComments)
{
    const RewriteCase cases[] = {
        {PROGRAM_BLOCK, "DECLARE rc VARCHAR2(2000); BEGIN rc:=vantrel.get(?); ?:=rc; END;", "p_nam retval"},
        {"BEGIN :a := f(:A, ':a', \":a\"); END;", "BEGIN ? := f(?, ':a', \":a\"); END;", "a a"},
        {"BEGIN -- :no\n :x := 1; /* :no */ END;", "BEGIN -- :no\n ? := 1; /* :no */ END;", "x"},
        {"BEGIN :x := 'it''s :no'; :y := q'[:no ' x]'; END;", "BEGIN ? := 'it''s :no'; ? := q'[:no ' x]'; END;", "x y"},
        {"BEGIN :x := :1 || :n$#_2; END;", "BEGIN ? := ? || ?; END;", "x 1 n$#_2"},
        {"BEGIN x := 1; END;", "BEGIN x := 1; END;", ""},
    };
    for (const RewriteCase &c : cases) {
        BlockPlan *plan = new BlockPlan;
        char error[BLOCK_ERROR_SIZE];
        EXPECT_EQ(RewritePlaceholders(c.block, strlen(c.block), plan, error, sizeof error), 1) << c.block << error;
        EXPECT_STREQ(plan->text, c.rewritten);
        std::string names;
        for (int i = 0; i < plan->positionCount; i++)
            names += (i ? " " : "") + std::string(plan->bindNames[plan->positions[i]]);
        EXPECT_EQ(names, c.binds) << c.block;
        delete plan;
    }
}

TEST(BlockAdapter, RewriteRefusesWhatItCannotDelimit)
{
    const RejectedCase cases[] = {
        {"BEGIN :x := 'open; END;", "string literal that is never closed"},
        {"BEGIN :x := q'[open; END;", "string literal that is never closed"},
        {"BEGIN :x := \"open; END;", "quoted name that is never closed"},
        {"BEGIN :x := 1; END; /* open", "comment that is never closed"},
        {"BEGIN :abcdefghijklmnopqrstuvwxyz12345 := 1; END;", "longer than 30 characters"},
    };
    for (const RejectedCase &c : cases) {
        BlockPlan *plan = new BlockPlan;
        char error[BLOCK_ERROR_SIZE];
        EXPECT_EQ(RewritePlaceholders(c.block, strlen(c.block), plan, error, sizeof error), 0) << c.block;
        EXPECT_NE(std::string(error).find(c.named), std::string::npos) << error;
        delete plan;
    }
    std::string longBlock = "BEGIN :x := '" + std::string(5000, 'a') + "'; END;";
    BlockPlan *plan = new BlockPlan;
    char error[BLOCK_ERROR_SIZE];
    EXPECT_EQ(RewritePlaceholders(longBlock.data(), longBlock.size(), plan, error, sizeof error), 0);
    EXPECT_NE(std::string(error).find("longer than 4095"), std::string::npos) << error;
    delete plan;
}
