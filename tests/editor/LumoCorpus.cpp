#include "LumoCorpus.h"

#include <array>
#include <iterator>
#include <string_view>
#include <vector>

namespace cvtest {

namespace {

// A small generator whose sequence is the same with every standard library.
class TRandom {
public:
    explicit TRandom(uint32_t seed) : FState(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return FState;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <typename C> std::string_view Pick(const C& items) {
        return items[static_cast<size_t>(Below(static_cast<int>(std::size(items))))];
    }

private:
    uint32_t FState;
};

constexpr std::array<std::string_view, 12> Locals = {"POOL_SIZE", "RETRIES", "I",     "J",
                                                     "APL_COUNT", "TIMEOUT", "STATE", "NAMES",
                                                     "LIMIT",     "COUNTER", "MSG",   "FLAGS"};
constexpr std::array<std::string_view, 8> Objects = {"'MAIN'",    "'HIST'", "'SCHED'",  "'APL_1'",
                                                     "'PUMP_07'", "'NET'",  "'REPORT'", "'ALARM'"};
constexpr std::array<std::string_view, 8> Attributes = {"NAME", "STATE", "OV", "BC",
                                                        "TS",   "LN",    "IU", "SE"};
constexpr std::array<std::string_view, 6> Variables = {"%SYS_STATE", "@LOG_LEVEL", "%TODAY",
                                                       "@SHADOW",    "%APL_NR",    "@NODE"};

class TProgram {
public:
    TProgram(uint32_t seed, size_t bytes) : R(seed), FTarget(bytes) {}

    std::string Build() {
        Line("; Generated start-up program");
        Line("#ARGUMENT START_MODE, RETRY_LIMIT = 3");
        Line("#LOCAL POOL_SIZE = 512, RETRIES = 0, I, J, APL_COUNT = 4");
        Line("#LOCAL TIMEOUT = 1.5, STATE = \"COLD\", NAMES = LIST(\"MAIN\", \"HIST\"), -");
        Line("       LIMIT = MAX(10, 20), COUNTER, MSG, FLAGS = VECTOR(0, 0, 1)");
        Line("");
        while (FText.size() < FTarget)
            Statement(0);
        return FText;
    }

private:
    void Line(std::string_view text) {
        FText.append(static_cast<size_t>(FIndent) * 3, ' ');
        FText += text;
        FText += "\r\n";
    }
    std::string Expression() {
        switch (R.Below(7)) {
        case 0:
            return std::string(R.Pick(Locals)) + " + " + std::to_string(R.Below(100));
        case 1:
            return std::string(R.Pick(Objects)) + ":" + std::string(R.Pick(Attributes));
        case 2:
            return "\"" + std::string(R.Pick(Attributes)) + " is \"\"" +
                   std::string(R.Pick(Locals)) + "\"\"\"";
        case 3:
            return std::to_string(R.Below(50)) + "." + std::to_string(R.Below(10));
        case 4:
            return std::string(R.Pick(Variables));
        case 5:
            return "MAX(" + std::string(R.Pick(Locals)) + ", " + std::to_string(R.Below(9)) + ")";
        default:
            return std::string(R.Pick(Locals));
        }
    }
    std::string Condition() {
        static constexpr std::array<std::string_view, 6> ops = {"==", "<>", ">=", "<=", "<", ">"};
        std::string c =
            std::string(R.Pick(Locals)) + " " + std::string(R.Pick(ops)) + " " + Expression();
        if (R.Chance(25))
            c += R.Chance(50) ? " AND NOT " + std::string(R.Pick(Variables))
                              : " or " + std::string(R.Pick(Locals)) + " == 0";
        return c;
    }
    void Block(int depth, std::string_view open, std::string_view close) {
        Line(open);
        ++FIndent;
        const int n = 1 + R.Below(4);
        for (int i = 0; i < n; ++i)
            Statement(depth + 1);
        --FIndent;
        Line(close);
    }
    void Statement(int depth) {
        const bool nest = depth < 4;
        switch (R.Below(nest ? 14 : 9)) {
        case 0:
        case 1:
            Line("#SET " + std::string(R.Pick(Locals)) + " = " + Expression());
            break;
        case 2:
            Line("#SET " + std::string(R.Pick(Objects)) + ":" + std::string(R.Pick(Attributes)) +
                 " = " + Expression() + "   ; " + std::string(R.Pick(Attributes)) + " of it");
            break;
        case 3:
            Line("#IF " + Condition() + " #THEN #SET " + std::string(R.Pick(Locals)) + " = " +
                 Expression());
            break;
        case 4:
            Line("#PRINT \"Step \"\"" + std::to_string(R.Below(999)) + "\"\" of \" + -");
            ++FIndent;
            Line(Expression() + " + \" done\"");
            --FIndent;
            break;
        case 5:
            Line("; " + std::string(R.Pick(Attributes)) + " check for " +
                 std::string(R.Pick(Objects)));
            break;
        case 6:
            Line("#PAUSE " + std::to_string(R.Below(5)) + "." + std::to_string(R.Below(10)));
            break;
        case 7:
            Line("#EXEC_AFTER " + std::to_string(R.Below(60)) + " " + std::string(R.Pick(Objects)) +
                 ":" + std::string(R.Pick(Attributes)));
            break;
        case 8:
            Line("#SET MSG = " + Expression() + " + -   ; continued");
            ++FIndent;
            Line(Expression());
            --FIndent;
            break;
        case 9:
            Line("#IF " + Condition() + " #THEN");
            Block(depth, "#BLOCK", "#BLOCK_END");
            if (R.Chance(40)) {
                Line("#ELSE");
                Block(depth, "#BLOCK", "#BLOCK_END");
            }
            break;
        case 10:
            Block(depth, "#LOOP_WITH I = 1 .. " + std::to_string(1 + R.Below(20)), "#LOOP_END");
            break;
        case 11:
            Block(depth, "#LOOP " + Condition(), "#LOOP_END");
            break;
        case 12: {
            Line("#CASE " + std::string(R.Pick(Locals)));
            ++FIndent;
            const int whens = 1 + R.Below(3);
            for (int i = 0; i < whens; ++i)
                Line("#WHEN " + std::to_string(i) + ", " + std::to_string(i + 10) +
                     " #DO #SET STATE = \"" + std::string(R.Pick(Attributes)) + "\"");
            Line("#OTHERWISE #SET STATE = \"COLD\"");
            --FIndent;
            Line("#CASE_END");
            break;
        }
        default:
            Block(depth, "#BLOCK", "#BLOCK_END");
            break;
        }
    }

    TRandom R;
    size_t FTarget;
    std::string FText;
    int FIndent = 0;
};

constexpr std::string_view Fragments[] = {
    "#IF",        "#THEN",     "#ELSE",
    "#ELSE_IF",   "#SET",      "#If",
    "#then",      "#BLOCK",    "#BLOCK_END",
    "#LOOP_WITH", "#LOOP_END", "#FOO",
    "#",          "#.",        "#DO",
    "#PRINT",     "#local",    "NAME",
    "A:B",        "A:",        "a1_b",
    "X:Y:Z",      "'Q'",       "'APL':NAME",
    "'unclosed",  ":",         "::",
    "1:P",        "\"s\"",     "\"a\"\"b\"",
    "\"\"",       "\"\"\"",    "\"open",
    "1.2.3",      "12.",       "12.5",
    "1..5",       "..",        "...",
    "AND",        "and",       "Or",
    "NOT",        "note",      "@",
    "@v1",        "%",         "%1",
    "!b",         "!",         ".d",
    ".",          "-",         "+",
    "=",          ">=",        "<=",
    "<>",         "==",        "=>",
    "(",          ")",         ",",
    "*",          "/",         "[",
    "]",          "\xC3\xA9",  "\xE2\x82\xAC",
    "\t",         "  ",        "\r",
    "LIST",       "vector",    "MAX(1, 2)",
    "{",          "$",         "\x01",
};

} // namespace

std::string GenerateLumoProgram(uint32_t seed, size_t bytes) {
    return TProgram(seed, bytes).Build();
}

std::string GenerateLumoSoup(uint32_t seed, int lines) {
    TRandom r(seed);
    std::string text;
    auto end = [&] { text += r.Chance(50) ? "\r\n" : "\n"; };
    // A declaration head now and then, so that local names get their style.
    if (r.Chance(70)) {
        text += r.Chance(50) ? "#ARGUMENT NAME, a1_b" : "#LOCAL Q = LIST(1, (2)), note, -";
        end();
        text += "#LOCAL X = 1, Y";
        end();
    }
    for (int i = 0; i < lines; ++i) {
        const int n = r.Below(9);
        for (int k = 0; k < n; ++k) {
            if (k > 0 && r.Chance(80))
                text += ' ';
            text += r.Pick(Fragments);
        }
        switch (r.Below(10)) {
        case 0:
            text += " -";
            break;
        case 1:
            text += " - ; continued";
            break;
        case 2:
            text += " ; comment \"x\"";
            break;
        case 3:
            text += " #THEN";
            break;
        case 4:
            // An unclosed quoted name swallows the line feed; a colon may start the next line.
            text += " 'open";
            end();
            text += r.Chance(50) ? ":ATTR" : " :ATTR";
            break;
        default:
            break;
        }
        end();
    }
    return text;
}

} // namespace cvtest
