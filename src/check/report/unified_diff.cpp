#include "check/report/unified_diff.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace check {

namespace {

constexpr std::size_t kContext = 3;
// Beyond this many line pairs the files are shown as wholly replaced.
constexpr std::size_t kMaxTable = 16'000'000;

// Lines with their line ends, so that a change of line end counts as a change.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto lf = text.find('\n');
    const auto length = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

enum class Op : char { Keep = ' ', Remove = '-', Add = '+' };

struct Edit {
  Op op;
  std::size_t oldLine;  // index into the old lines (Keep, Remove)
  std::size_t newLine;  // index into the new lines (Keep, Add)
};

// Appends the edits that make the `m` lines of `b` from `head` of the `n`
// of `a` from `head`: the shortest, by longest common subsequence, unless the
// table would be too large.
void middleScript(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                  std::size_t head, std::size_t n, std::size_t m, std::vector<Edit>& edits) {
  if (n * m > kMaxTable) {
    for (std::size_t i = 0; i < n; ++i) edits.push_back({Op::Remove, head + i, 0});
    for (std::size_t j = 0; j < m; ++j) edits.push_back({Op::Add, 0, head + j});
    return;
  }
  // lcs[i][j]: common lines of a[head+i..] and b[head+j..].
  std::vector<std::uint32_t> lcs((n + 1) * (m + 1), 0);
  const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
    return lcs[i * (m + 1) + j];
  };
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      at(i, j) =
          a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[head + i] == b[head + j]) {
      edits.push_back({Op::Keep, head + i++, head + j++});
    } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
      edits.push_back({Op::Remove, head + i++, 0});
    } else {
      edits.push_back({Op::Add, 0, head + j++});
    }
  }
}

// The shortest edit script by longest common subsequence, after trimming the
// common head and tail.
std::vector<Edit> editScript(const std::vector<std::string_view>& a,
                             const std::vector<std::string_view>& b) {
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t n = a.size() - head - tail;
  const std::size_t m = b.size() - head - tail;

  std::vector<Edit> edits;
  for (std::size_t i = 0; i < head; ++i) edits.push_back({Op::Keep, i, i});
  middleScript(a, b, head, n, m, edits);
  for (std::size_t k = 0; k < tail; ++k) {
    edits.push_back({Op::Keep, a.size() - tail + k, b.size() - tail + k});
  }
  return edits;
}

std::string range(std::size_t start, std::size_t count) {
  // An empty range names the line before it.
  const std::size_t first = count == 0 ? start : start + 1;
  return count == 1 ? std::to_string(first) : std::to_string(first) + "," + std::to_string(count);
}

// A line without its line end.
std::string_view content(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// A line as shown: without its line end, or where line ends make the
// difference, with a CR before its LF shown as "^M".
std::string shown(std::string_view line, bool lineEnds) {
  std::string text(content(line));
  if (lineEnds && line.ends_with("\r\n")) text += "^M";
  return text;
}

// True when a removed and an added line differ in their line ends alone.
bool lineEndsMatter(const std::vector<Edit>& edits, const std::vector<std::string_view>& a,
                    const std::vector<std::string_view>& b) {
  std::unordered_set<std::string_view> removed;
  std::unordered_set<std::string_view> removedContent;
  for (const Edit& edit : edits) {
    if (edit.op != Op::Remove) continue;
    removed.insert(a[edit.oldLine]);
    removedContent.insert(content(a[edit.oldLine]));
  }
  return std::any_of(edits.begin(), edits.end(), [&](const Edit& edit) {
    return edit.op == Op::Add && !removed.contains(b[edit.newLine]) &&
           removedContent.contains(content(b[edit.newLine]));
  });
}

// Appends `line` to a hunk, marked by `op`: its own bytes, or as shown().
void hunkLine(std::string& out, Op op, std::string_view line, DiffLines lines, bool lineEnds) {
  out += static_cast<char>(op);
  if (lines == DiffLines::OwnBytes) {
    out += line;
    if (!line.ends_with('\n')) out += "\n\\ No newline at end of file\n";
    return;
  }
  out += shown(line, lineEnds);
  out += '\n';
  if (!line.ends_with('\n')) out += "\\ No newline at end of file\n";
}

}  // namespace

std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name,
                        bool beforeExists, DiffLines lines) {
  if (before == after && beforeExists) return {};
  const auto a = splitLines(before);
  const auto b = splitLines(after);
  const auto edits = editScript(a, b);
  const bool lineEnds = lineEndsMatter(edits, a, b);

  std::string out = "--- " + (beforeExists ? "a/" + name : std::string("/dev/null")) + "\n";
  out += "+++ b/" + name + "\n";
  // Lines of each file before each edit, for the hunk headers.
  std::vector<std::size_t> oldBefore(edits.size() + 1, 0);
  std::vector<std::size_t> newBefore(edits.size() + 1, 0);
  for (std::size_t e = 0; e < edits.size(); ++e) {
    oldBefore[e + 1] = oldBefore[e] + (edits[e].op != Op::Add ? 1 : 0);
    newBefore[e + 1] = newBefore[e] + (edits[e].op != Op::Remove ? 1 : 0);
  }

  std::size_t k = 0;
  for (;;) {
    while (k < edits.size() && edits[k].op == Op::Keep) ++k;
    if (k == edits.size()) break;
    // A hunk runs from three lines before a change to three lines after the
    // last change that follows within six kept lines of the one before.
    const std::size_t start = k >= kContext ? k - kContext : 0;
    std::size_t lastChange = k;
    for (std::size_t e = k; e < edits.size(); ++e) {
      if (edits[e].op != Op::Keep) {
        lastChange = e;
      } else if (e - lastChange > 2 * kContext) {
        break;
      }
    }
    const std::size_t end = std::min(edits.size(), lastChange + 1 + kContext);
    out += "@@ -" + range(oldBefore[start], oldBefore[end] - oldBefore[start]) + " +" +
           range(newBefore[start], newBefore[end] - newBefore[start]) + " @@\n";
    for (std::size_t e = start; e < end; ++e) {
      const Edit& edit = edits[e];
      hunkLine(out, edit.op, edit.op == Op::Add ? b[edit.newLine] : a[edit.oldLine], lines,
               lineEnds);
    }
    k = end;
  }
  return out;
}

}  // namespace check
