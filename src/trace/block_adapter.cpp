// Anonymous-block adapter: a small parser for the assignment-only blocks the program runs, and
// the placeholder rewriting for servers that run blocks themselves. No windows.h on purpose.
#include "block_adapter.h"

#include <cstdio>
#include <cstring>

namespace {

enum TokenKind {
    TOKEN_END, TOKEN_IDENTIFIER, TOKEN_BIND, TOKEN_ASSIGN, TOKEN_SEMICOLON, TOKEN_OPEN, TOKEN_CLOSE,
    TOKEN_COMMA, TOKEN_DOT, TOKEN_STRING, TOKEN_NUMBER, TOKEN_OPERATOR, TOKEN_BAD
};

struct Token {
    TokenKind kind;
    size_t start;                       // offset of the token in the block
    size_t length;
};

struct Parser {
    const char *text;
    size_t length;
    size_t position;
    Token token;                        // the current token
    BlockPlan *plan;
    char *error;
    size_t errorSize;
    int failed;
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '$'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// Reports the first failure only; later ones are consequences of it.
void Fail(Parser *p, const char *what, const Token &at)
{
    if (p->failed)
        return;
    p->failed = 1;
    char shown[24];
    size_t n = at.length < sizeof shown - 1 ? at.length : sizeof shown - 1;
    for (size_t i = 0; i < n; i++) {
        char c = p->text[at.start + i];
        shown[i] = (c >= 32 && c < 127) ? c : '?';
    }
    shown[n] = 0;
    if (p->errorSize == 0)
        return;
    if (at.kind == TOKEN_END)
        snprintf(p->error, p->errorSize, "Block not supported: %s at the end of the block", what);
    else
        snprintf(p->error, p->errorSize, "Block not supported: %s at character %u (\"%s%s\")", what,
                 (unsigned)(at.start + 1), shown, at.length > n ? "..." : "");
}

// Skips blanks and both comment forms; returns 0 for a comment that never ends.
int SkipBlanks(Parser *p)
{
    for (;;) {
        while (p->position < p->length && (p->text[p->position] == ' ' || p->text[p->position] == '\t' ||
                                           p->text[p->position] == '\r' || p->text[p->position] == '\n'))
            p->position++;
        if (p->position + 1 < p->length && p->text[p->position] == '-' && p->text[p->position + 1] == '-') {
            while (p->position < p->length && p->text[p->position] != '\n')
                p->position++;
        } else if (p->position + 1 < p->length && p->text[p->position] == '/' && p->text[p->position + 1] == '*') {
            size_t close = p->position + 2;
            while (close + 1 < p->length && !(p->text[close] == '*' && p->text[close + 1] == '/'))
                close++;
            if (close + 1 >= p->length)
                return 0;
            p->position = close + 2;
        } else {
            return 1;
        }
    }
}

void Advance(Parser *p)
{
    Token t = {TOKEN_BAD, p->position, 1};
    if (!SkipBlanks(p)) {
        t.length = p->length - t.start;
        p->token = t;
        Fail(p, "a comment that is never closed", t);
        return;
    }
    t.start = p->position;
    if (p->position >= p->length) {
        t.kind = TOKEN_END;
        t.length = 0;
        p->token = t;
        return;
    }
    const char *s = p->text;
    size_t i = p->position;
    char c = s[i];
    if (IsLetter(c)) {
        while (i < p->length && IsNameChar(s[i]))
            i++;
        t.kind = TOKEN_IDENTIFIER;
    } else if (c == ':' && i + 1 < p->length && s[i + 1] == '=') {
        i += 2;
        t.kind = TOKEN_ASSIGN;
    } else if (c == ':' && i + 1 < p->length && IsNameChar(s[i + 1])) {
        i++;
        while (i < p->length && IsNameChar(s[i]))
            i++;
        t.kind = TOKEN_BIND;
    } else if (c == '\'') {
        i++;
        for (;;) {
            if (i >= p->length) {
                t.length = i - t.start;
                p->token = t;
                Fail(p, "a string literal that is never closed", t);
                return;
            }
            if (s[i] == '\'') {
                if (i + 1 < p->length && s[i + 1] == '\'') {
                    i += 2;
                    continue;
                }
                i++;
                break;
            }
            i++;
        }
        t.kind = TOKEN_STRING;
    } else if (IsDigit(c) || (c == '.' && i + 1 < p->length && IsDigit(s[i + 1]))) {
        while (i < p->length && IsDigit(s[i]))
            i++;
        if (i < p->length && s[i] == '.') {
            i++;
            while (i < p->length && IsDigit(s[i]))
                i++;
        }
        t.kind = TOKEN_NUMBER;
    } else {
        i++;
        switch (c) {
        case ';': t.kind = TOKEN_SEMICOLON; break;
        case '(': t.kind = TOKEN_OPEN; break;
        case ')': t.kind = TOKEN_CLOSE; break;
        case ',': t.kind = TOKEN_COMMA; break;
        case '.': t.kind = TOKEN_DOT; break;
        default: t.kind = strchr("|+-*/=<>!%&^~", c) ? TOKEN_OPERATOR : TOKEN_BAD; break;
        }
    }
    t.length = i - t.start;
    p->position = i;
    p->token = t;
    if (t.kind == TOKEN_BAD)
        Fail(p, c == '"' ? "a quoted name" : "an unexpected character", t);
}

bool IsWord(const Parser *p, const Token &t, const char *word)
{
    size_t n = strlen(word);
    if (t.kind != TOKEN_IDENTIFIER || t.length != n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (Lower(p->text[t.start + i]) != word[i])
            return false;
    return true;
}

// Words that may not name a local: they start or end sections, or are values.
bool IsReserved(const Parser *p, const Token &t)
{
    static const char *const words[] = {"declare", "begin", "end", "null", "exception", "if", "loop",
                                        "while", "for", "return", "select", "exit", "goto", "raise"};
    for (const char *w : words)
        if (IsWord(p, t, w))
            return true;
    return false;
}

// Lower-case copy of a name (without a bind's colon); 0 when it is too long.
int CopyName(const Parser *p, const Token &t, char *out)
{
    size_t skip = t.kind == TOKEN_BIND ? 1 : 0;
    size_t n = t.length - skip;
    if (n >= BLOCK_NAME_SIZE)
        return 0;
    for (size_t i = 0; i < n; i++)
        out[i] = Lower(p->text[t.start + skip + i]);
    out[n] = 0;
    return 1;
}

int FindLocal(const BlockPlan *plan, const char *name)
{
    for (int i = 0; i < plan->localCount; i++)
        if (strcmp(plan->localNames[i], name) == 0)
            return i;
    return -1;
}

bool Expect(Parser *p, TokenKind kind, const char *what)
{
    if (p->failed)
        return false;
    if (p->token.kind != kind) {
        Fail(p, what, p->token);
        return false;
    }
    Advance(p);
    return !p->failed;
}

// Adds text to the literal pool, terminated; returns its offset or -1 when the pool is full.
int AddLiteral(Parser *p, const char *text, size_t length, bool unquote)
{
    BlockPlan *plan = p->plan;
    size_t at = plan->literalsUsed;
    size_t out = at;
    for (size_t i = 0; i < length; i++) {
        if (out + 1 >= BLOCK_LITERAL_POOL)
            return -1;
        plan->literals[out++] = text[i];
        if (unquote && text[i] == '\'')
            i++;                        // '' stands for one quote
    }
    plan->literals[out++] = 0;
    plan->literalsUsed = out;
    return (int)at;
}

// An operand: :bind, local, 'text', number or NULL. Adds new binds to the plan.
bool ParseOperand(Parser *p, BlockOperand *operand, const char *what)
{
    if (p->failed)
        return false;
    const Token t = p->token;
    BlockPlan *plan = p->plan;
    char name[BLOCK_NAME_SIZE];
    if (t.kind == TOKEN_BIND) {
        if (!CopyName(p, t, name)) {
            Fail(p, "a placeholder name longer than 30 characters", t);
            return false;
        }
        int index = FindBlockBind(plan, name, -1);
        if (index < 0) {
            if (plan->bindCount == BLOCK_MAX_BINDS) {
                Fail(p, "more than 8 different placeholders", t);
                return false;
            }
            index = plan->bindCount++;
            strcpy(plan->bindNames[index], name);
        }
        operand->kind = OPERAND_BIND;
        operand->index = index;
    } else if (IsWord(p, t, "null")) {
        operand->kind = OPERAND_NULL;
        operand->index = 0;
    } else if (t.kind == TOKEN_IDENTIFIER) {
        int index = CopyName(p, t, name) ? FindLocal(plan, name) : -1;
        if (index < 0) {
            Fail(p, what[0] ? what : "a name that is not a declared local", t);
            return false;
        }
        operand->kind = OPERAND_LOCAL;
        operand->index = index;
    } else if (t.kind == TOKEN_STRING || t.kind == TOKEN_NUMBER) {
        bool quoted = t.kind == TOKEN_STRING;
        int offset = quoted ? AddLiteral(p, p->text + t.start + 1, t.length - 2, true)
                            : AddLiteral(p, p->text + t.start, t.length, false);
        if (offset < 0) {
            Fail(p, "literals longer than the block can hold", t);
            return false;
        }
        operand->kind = quoted ? OPERAND_TEXT : OPERAND_NUMBER;
        operand->index = offset;
    } else {
        Fail(p, what, t);
        return false;
    }
    Advance(p);
    return !p->failed;
}

// name VARCHAR2(n [BYTE|CHAR]);
bool ParseDeclaration(Parser *p)
{
    BlockPlan *plan = p->plan;
    const Token nameToken = p->token;
    char name[BLOCK_NAME_SIZE];
    if (nameToken.kind != TOKEN_IDENTIFIER || IsReserved(p, nameToken)) {
        Fail(p, "a declaration that is not 'name VARCHAR2(size);'", nameToken);
        return false;
    }
    if (!CopyName(p, nameToken, name)) {
        Fail(p, "a local name longer than 30 characters", nameToken);
        return false;
    }
    if (FindLocal(plan, name) >= 0) {
        Fail(p, "a local declared twice", nameToken);
        return false;
    }
    if (plan->localCount == BLOCK_MAX_LOCALS) {
        Fail(p, "more than 8 locals", nameToken);
        return false;
    }
    Advance(p);
    if (p->failed)
        return false;
    if (!IsWord(p, p->token, "varchar2") && !IsWord(p, p->token, "varchar")) {
        Fail(p, "a local type other than VARCHAR2(size)", p->token);
        return false;
    }
    Advance(p);
    if (!Expect(p, TOKEN_OPEN, "a VARCHAR2 without its size in parentheses"))
        return false;
    const Token sizeToken = p->token;
    long size = 0;
    if (sizeToken.kind == TOKEN_NUMBER) {
        for (size_t i = 0; i < sizeToken.length && size <= BLOCK_LOCAL_MAX; i++) {
            char c = p->text[sizeToken.start + i];
            if (!IsDigit(c)) {
                size = -1;
                break;
            }
            size = size * 10 + (c - '0');
        }
    }
    if (sizeToken.kind != TOKEN_NUMBER || size < 1 || size > BLOCK_LOCAL_MAX) {
        Fail(p, "a VARCHAR2 size outside 1 to 4000", sizeToken);
        return false;
    }
    Advance(p);
    if (!p->failed && (IsWord(p, p->token, "byte") || IsWord(p, p->token, "char")))
        Advance(p);                     // sizes are kept in bytes either way
    if (!Expect(p, TOKEN_CLOSE, "a VARCHAR2 size not followed by ')'"))
        return false;
    if (!Expect(p, TOKEN_SEMICOLON, "a declaration not ended by ';' (initial values are not supported)"))
        return false;
    strcpy(plan->localNames[plan->localCount], name);
    plan->localSizes[plan->localCount] = (int)size;
    plan->localCount++;
    return true;
}

// Appends text to a step's statement; false when it does not fit.
bool AppendSql(BlockStep *step, const char *text, size_t length)
{
    size_t used = strlen(step->sql);
    if (used + length >= BLOCK_SQL_SIZE)
        return false;
    memcpy(step->sql + used, text, length);
    step->sql[used + length] = 0;
    return true;
}

// target := expression;
bool ParseAssignment(Parser *p)
{
    BlockPlan *plan = p->plan;
    const Token first = p->token;
    if (plan->stepCount == BLOCK_MAX_STEPS) {
        Fail(p, "more than 8 assignments", first);
        return false;
    }
    BlockStep *step = &plan->steps[plan->stepCount];
    memset(step, 0, sizeof *step);
    if (first.kind == TOKEN_IDENTIFIER) {
        // Anything but a declared local here starts a statement the adapter does not run.
        char name[BLOCK_NAME_SIZE];
        int index = CopyName(p, first, name) ? FindLocal(plan, name) : -1;
        if (index < 0) {
            Advance(p);
            if (!p->failed && p->token.kind == TOKEN_ASSIGN)
                Fail(p, "an assignment to a name that is not a declared local", first);
            else
                Fail(p, "a statement other than 'target := expression;'", first);
            return false;
        }
        step->target.kind = OPERAND_LOCAL;
        step->target.index = index;
        Advance(p);
    } else if (first.kind == TOKEN_BIND) {
        if (!ParseOperand(p, &step->target, ""))
            return false;
    } else {
        Fail(p, "a statement other than 'target := expression;'", first);
        return false;
    }
    if (!Expect(p, TOKEN_ASSIGN, "a statement other than 'target := expression;'"))
        return false;

    const Token head = p->token;
    if (head.kind == TOKEN_IDENTIFIER && !IsWord(p, head, "null")) {
        // A local, or schema.function(arguments)
        size_t save = p->position;
        Advance(p);
        if (!p->failed && p->token.kind == TOKEN_DOT) {
            Advance(p);
            const Token function = p->token;
            if (p->failed || function.kind != TOKEN_IDENTIFIER) {
                Fail(p, "a call that is not schema.function(arguments)", function);
                return false;
            }
            Advance(p);
            if (!p->failed && p->token.kind == TOKEN_DOT) {
                Fail(p, "a name with more than two parts", p->token);
                return false;
            }
            if (!Expect(p, TOKEN_OPEN, "a call without parentheses"))
                return false;
            step->isCall = 1;
            // Names are checked to be plain identifiers, so they may go into the statement text;
            // values never do: every argument is a parameter.
            bool fits = AppendSql(step, "SELECT ", 7) && AppendSql(step, p->text + head.start, head.length) &&
                        AppendSql(step, ".", 1) && AppendSql(step, p->text + function.start, function.length) &&
                        AppendSql(step, "(", 1);
            if (p->token.kind != TOKEN_CLOSE) {
                for (;;) {
                    if (step->argCount == BLOCK_MAX_ARGS) {
                        Fail(p, "a call with more than 8 arguments", p->token);
                        return false;
                    }
                    if (!ParseOperand(p, &step->args[step->argCount],
                                      "an argument that is not a placeholder, local or literal"))
                        return false;
                    fits = fits && AppendSql(step, step->argCount ? ", ?" : "?", step->argCount ? 3 : 1);
                    step->argCount++;
                    if (p->token.kind != TOKEN_COMMA)
                        break;
                    Advance(p);
                }
            }
            if (!Expect(p, TOKEN_CLOSE, "an argument that is not a placeholder, local or literal"))
                return false;
            if (!AppendSql(step, ")", 1) || !fits) {
                Fail(p, "a call whose names are too long", head);
                return false;
            }
        } else if (!p->failed && p->token.kind == TOKEN_OPEN) {
            Fail(p, "a call that is not schema.function(arguments)", head);
            return false;
        } else {
            // Not a call: re-read the name as an operand.
            p->position = save;
            p->token = head;
            if (!ParseOperand(p, &step->value, ""))
                return false;
        }
    } else {
        if (!ParseOperand(p, &step->value, "an expression other than a placeholder, local, literal or call"))
            return false;
    }
    if (!Expect(p, TOKEN_SEMICOLON, "an expression with operators (only a value or one call is supported)"))
        return false;
    if (step->target.kind != OPERAND_BIND && step->target.kind != OPERAND_LOCAL) {
        Fail(p, "an assignment target that is not a local or placeholder", first);
        return false;
    }
    plan->stepCount++;
    return true;
}

void SetError(char *error, size_t size, const char *text)
{
    if (size)
        snprintf(error, size, "%s", text);
}

}

int PlanAnonymousBlock(const char *text, size_t length, BlockPlan *plan, char *error, size_t errorSize)
{
    memset(plan, 0, sizeof *plan);
    if (errorSize)
        error[0] = 0;
    Parser p = {text, length, 0, {TOKEN_END, 0, 0}, plan, error, errorSize, 0};
    Advance(&p);
    if (!p.failed && IsWord(&p, p.token, "declare")) {
        Advance(&p);
        while (!p.failed && p.token.kind != TOKEN_END && !IsWord(&p, p.token, "begin"))
            ParseDeclaration(&p);
    }
    if (!p.failed && !IsWord(&p, p.token, "begin"))
        Fail(&p, "a block that does not start with DECLARE or BEGIN", p.token);
    if (!p.failed)
        Advance(&p);
    while (!p.failed && !IsWord(&p, p.token, "end")) {
        if (p.token.kind == TOKEN_END)
            Fail(&p, "a block without END", p.token);
        else if (IsWord(&p, p.token, "exception"))
            Fail(&p, "an EXCEPTION section", p.token);
        else if (IsWord(&p, p.token, "begin") || IsWord(&p, p.token, "declare"))
            Fail(&p, "a nested block", p.token);
        else
            ParseAssignment(&p);
    }
    if (!p.failed && plan->stepCount == 0)
        Fail(&p, "a block without any assignment", p.token);
    if (!p.failed) {
        Advance(&p);                    // END
        if (!p.failed && p.token.kind == TOKEN_SEMICOLON)
            Advance(&p);
        if (!p.failed && p.token.kind != TOKEN_END)
            Fail(&p, "text after END", p.token);
    }
    if (p.failed) {
        if (errorSize && !error[0])
            SetError(error, errorSize, "Block not supported");
        return 0;
    }
    return 1;
}

int RewritePlaceholders(const char *text, size_t length, BlockPlan *plan, char *error, size_t errorSize)
{
    memset(plan, 0, sizeof *plan);
    if (errorSize)
        error[0] = 0;
    size_t out = 0;
    size_t i = 0;
    while (i < length) {
        char c = text[i];
        size_t copyEnd = i + 1;         // end of the stretch copied unchanged
        if (c == '\'' || c == '"') {
            // 'text' with '' inside, or "quoted name"
            size_t j = i + 1;
            for (;;) {
                if (j >= length) {
                    SetError(error, errorSize, c == '"' ? "Block not supported: a quoted name that is never closed"
                                                        : "Block not supported: a string literal that is never closed");
                    return 0;
                }
                if (text[j] == c) {
                    if (j + 1 < length && text[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                j++;
            }
            copyEnd = j + 1;
        } else if ((c == 'q' || c == 'Q') && i + 2 < length && text[i + 1] == '\'' &&
                   (i == 0 || !IsNameChar(text[i - 1]))) {
            // q'[text]' with its own closing delimiter
            char open = text[i + 2];
            char close = open == '[' ? ']' : open == '(' ? ')' : open == '{' ? '}' : open == '<' ? '>' : open;
            size_t j = i + 3;
            while (j + 1 < length && !(text[j] == close && text[j + 1] == '\''))
                j++;
            if (j + 1 >= length) {
                SetError(error, errorSize, "Block not supported: a string literal that is never closed");
                return 0;
            }
            copyEnd = j + 2;
        } else if (c == '-' && i + 1 < length && text[i + 1] == '-') {
            size_t j = i;
            while (j < length && text[j] != '\n')
                j++;
            copyEnd = j;
        } else if (c == '/' && i + 1 < length && text[i + 1] == '*') {
            size_t j = i + 2;
            while (j + 1 < length && !(text[j] == '*' && text[j + 1] == '/'))
                j++;
            if (j + 1 >= length) {
                SetError(error, errorSize, "Block not supported: a comment that is never closed");
                return 0;
            }
            copyEnd = j + 2;
        } else if (c == ':' && i + 1 < length && (IsNameChar(text[i + 1]) || text[i + 1] == '#')) {
            size_t j = i + 1;
            while (j < length && (IsNameChar(text[j]) || text[j] == '#'))
                j++;
            if (j - i - 1 >= BLOCK_NAME_SIZE) {
                SetError(error, errorSize, "Block not supported: a placeholder name longer than 30 characters");
                return 0;
            }
            char name[BLOCK_NAME_SIZE];
            for (size_t k = 0; k < j - i - 1; k++)
                name[k] = Lower(text[i + 1 + k]);
            name[j - i - 1] = 0;
            int index = FindBlockBind(plan, name, -1);
            if (index < 0) {
                if (plan->bindCount == BLOCK_MAX_BINDS) {
                    SetError(error, errorSize, "Block not supported: more than 8 different placeholders");
                    return 0;
                }
                index = plan->bindCount++;
                strcpy(plan->bindNames[index], name);
            }
            if (plan->positionCount == BLOCK_MAX_POSITIONS) {
                SetError(error, errorSize, "Block not supported: more than 32 placeholders");
                return 0;
            }
            plan->positions[plan->positionCount++] = index;
            if (out + 1 >= BLOCK_TEXT_SIZE)
                break;
            plan->text[out++] = '?';
            i = j;
            continue;
        }
        if (copyEnd - i >= BLOCK_TEXT_SIZE - out)
            break;
        memcpy(plan->text + out, text + i, copyEnd - i);
        out += copyEnd - i;
        i = copyEnd;
    }
    if (i < length) {
        SetError(error, errorSize, "Block not supported: longer than 4095 characters");
        return 0;
    }
    plan->text[out] = 0;
    return 1;
}

int FindBlockBind(const BlockPlan *plan, const char *name, long length)
{
    size_t n = length < 0 ? strlen(name) : (size_t)length;
    if (n > 0 && name[0] == ':') {
        name++;
        n--;
    }
    if (n == 0 || n >= BLOCK_NAME_SIZE)
        return -1;
    for (int i = 0; i < plan->bindCount; i++) {
        const char *bound = plan->bindNames[i];
        size_t k = 0;
        while (k < n && bound[k] && bound[k] == Lower(name[k]))
            k++;
        if (k == n && bound[k] == 0)
            return i;
    }
    return -1;
}
