// What the check tool finds: one rule broken at one place, with how serious it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace check {

enum class Severity {
  Error,    // the package will not be customised as written
  Warning,  // it will be, but probably not as meant
};

enum class RuleId {
  NoLauncher,
  NoPackageCode,
  NoConfig,
  ConfigUnreadable,
  WrongDocumentElement,
  NoEntry,
  UnusedEntry,
  MissingValue,
  EmptyValue,
  MissingVariant,
  ReadOnlyFile,
  MissingText,
  CutShort,
  NoLiveCif,
  RunError,
  DuplicateEntry,
  UnknownElement,
  RepeatedValue,
  WrappedValue,
  BlankInValue,
  LooksLikeO,
  IgnoredBarPc,
  InvisibleCharacter,
  BlankInCode,
  EncodingMismatch,
  UnusualEncoding,
  LeftoverFile,
  UnusedSuppression,
  LineBreakInScript,
  ScriptCodePage,
};

struct Rule {
  RuleId id;
  const char* name;  // stable, short kebab-case
  Severity severity;
  const char* summary;      // one line
  const char* description;  // what it means
  const char* help;         // how to fix it
};

// Every rule, in the order of RuleId.
const std::vector<Rule>& allRules();
const Rule& rule(RuleId id);

struct Position {
  long line = 0;  // both from 1; 0 when unknown
  long column = 0;
  friend auto operator<=>(const Position&, const Position&) = default;
};

// One replacement in the bytes of a file.
struct TextEdit {
  std::size_t offset = 0;  // the first byte replaced
  std::size_t length = 0;  // how many bytes are replaced; 0 for an insertion
  std::string bytes;       // what replaces them, in the file's own encoding
  std::u16string text;     // the same as text
  Position start;          // where the replaced bytes begin
  Position end;            // where they end: the place just after them
};

// The edits of a fix, in file order, none overlapping.
using FileEdits = std::vector<TextEdit>;

// A fix that removes its file whole.
struct FileRemoval {
  bool operator==(const FileRemoval&) const = default;
};

// How --fix mends a finding: edits of its file, or the file removed. It is
// made whole or not at all.
struct Fix {
  std::u16string description;  // what it does, in the words of a message
  std::variant<FileEdits, FileRemoval> change;
};

// The edits of `fix`; none when it removes its file.
const FileEdits& editsOf(const Fix& fix);

// True when `fix` removes its file.
bool removesFile(const Fix& fix);

struct Finding {
  RuleId rule = RuleId::RunError;
  std::u16string file;  // relative to the package folder
  Position position;
  std::u16string message;  // one line
  std::u16string code;     // the package code it is about; empty when none
  std::u16string element;  // the element it is about; empty when none
  std::optional<std::u16string> value;
  std::u16string suggested;  // the name it was probably meant as ("did you mean"); empty when none
  std::size_t packages = 0;  // with --all: how many package runs it breaks, when it is a run's
  std::optional<Fix> fix;    // how --fix mends it; none when the mend is not certain
};

// A finding of `rule` about `file` (empty: the run as a whole), at no
// particular place in it.
Finding makeFinding(RuleId rule, std::u16string file, std::u16string message,
                    std::u16string code = {});

Severity severityOf(const Finding& finding);

// "error" or "warning": how every report names a severity, SARIF's levels
// included.
const char* severityName(Severity severity);

// How many findings are errors, and how many warnings.
std::size_t countErrors(const std::vector<Finding>& findings);
std::size_t countWarnings(const std::vector<Finding>& findings);

// True for a blank that no one sees or tells from a space: a no-break space,
// a zero-width space, a byte-order mark and their like.
bool isInvisibleCharacter(char16_t unit);

// `text` in double quotes, as messages show names, codes and values, with
// line breaks and tabs shown as \n, \r and \t, and invisible characters as
// \uXXXX.
std::u16string quoted(const std::u16string& text);

// `value` in decimal digits.
std::u16string number(long value);

}  // namespace check
