-- Drives pkgcustomize-check --lsp from Neovim's own LSP client (0.7): opens
-- FOLDER/config.xml and checks what the editor shows against the command
-- line's findings (EXPECTED, --all --format json) and fixes (FIXED, the
-- config.xml --fix writes). MODE "full": hover, an unsaved edit and fix all
-- on the common-mistakes example; "quickfix": the one quick fix of a file
-- with one mistake. Exits 0 when all agree, 1 with what differed.
local folder, expected_file, fixed_file = os.getenv('FOLDER'), os.getenv('EXPECTED'), os.getenv('FIXED')
local mode = os.getenv('MODE')
local failures = {}
local function fail(what) table.insert(failures, what) end

vim.cmd('edit ' .. vim.fn.fnameescape(folder .. '/config.xml'))
local buf = vim.api.nvim_get_current_buf()
local id = vim.lsp.start_client({ cmd = vim.split(os.getenv('SERVER'), '\t'), root_dir = folder })
vim.lsp.buf_attach_client(buf, id)

-- The diagnostics shown, as RULE/SEVERITY@LINE:COLUMN with UTF-16 columns from 1.
local function shown()
  local places = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    local line = vim.api.nvim_buf_get_lines(buf, d.lnum, d.lnum + 1, false)[1] or ''
    local _, col16 = vim.str_utfindex(line, math.min(d.col, #line))
    local code = d.code or (d.user_data and d.user_data.lsp and d.user_data.lsp.code)
    local severity = ({ 'error', 'warning', 'note', 'note' })[d.severity] or '?'
    table.insert(places, string.format('%s/%s@%d:%d', code, severity, d.lnum + 1, col16 + 1))
  end
  table.sort(places)
  return table.concat(places, ' ')
end

local report = vim.fn.json_decode(table.concat(vim.fn.readfile(expected_file), '\n'))
local want = {}
for _, f in ipairs(report.findings) do
  if f.file == 'config.xml' then
    table.insert(want, string.format('%s/%s@%d:%d', f.rule, f.severity, f.line, f.column))
  end
end
table.sort(want)
want = table.concat(want, ' ')

if not vim.wait(20000, function() return shown() == want end, 50) then
  fail('diagnostics: ' .. shown() .. '\n  expected: ' .. want)
end

-- The code actions of `kind` the server offers for `range`.
local function code_actions(range, kind)
  return vim.lsp.buf_request_sync(buf, 'textDocument/codeAction', {
    textDocument = { uri = vim.uri_from_bufnr(buf) }, range = range,
    context = { diagnostics = {}, only = { kind } } }, 10000)
end

-- Applies the first of `actions` as the client does; the buffer, written in
-- the file's own encoding, must then hold what --fix wrote.
local function apply_and_compare(actions, what)
  local action = actions and actions[id] and actions[id].result and actions[id].result[1]
  if not action then return fail(what .. ': no action') end
  vim.lsp.util.apply_workspace_edit(action.edit, 'utf-16')
  local out = vim.fn.tempname()
  vim.cmd('silent write! ' .. vim.fn.fnameescape(out))
  if table.concat(vim.fn.readfile(out, 'b'), '\n') ~= table.concat(vim.fn.readfile(fixed_file, 'b'), '\n') then
    fail(what .. ': the buffer differs from what --fix wrote')
  end
end


-- The quick fix of the one mistake, as the client applies it.
local function quick_fix()
  local d = vim.diagnostic.get(buf)[1]
  if not d then return fail('quick fix: no diagnostic') end
  local range = { start = { line = d.lnum, character = 0 }, ['end'] = { line = d.lnum + 1, character = 0 } }
  apply_and_compare(code_actions(range, 'quickfix'), 'quick fix')
end

local function full()
-- The hover on the first entry names its code and its verdict.
local hover = vim.lsp.buf_request_sync(buf, 'textDocument/hover', {
  textDocument = { uri = vim.uri_from_bufnr(buf) }, position = { line = 9, character = 4 } }, 10000)
local text = hover and hover[id] and hover[id].result and hover[id].result.contents.value or ''
if not text:find('TR0107') or not text:find('complete') then fail('hover: ' .. text) end

-- An unsaved edit that mends the invisible blank: its diagnostic goes, the rest stay.
local lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
for i, line in ipairs(lines) do
  local at = line:find('pt%-br\194\160')
  if at then vim.api.nvim_buf_set_text(buf, i - 1, at + 4, i - 1, at + 6, {}) end
end
local mended = want:gsub(' ?invisible%-character/%a+@%d+:%d+', '')
if not vim.wait(20000, function() return shown() == mended end, 50) then
  fail('after the edit: ' .. shown() .. '\n  expected: ' .. mended)
end
vim.cmd('silent undo')
vim.wait(20000, function() return shown() == want end, 50)

-- Fix all, as the client applies it: the buffer then writes what --fix wrote.
local actions = code_actions({ start = { line = 0, character = 0 }, ['end'] = { line = #lines, character = 0 } },
  'source.fixAll')
apply_and_compare(actions, 'fix all')

end

if mode == 'full' then full() else quick_fix() end

vim.lsp.stop_client(id)
for _, f in ipairs(failures) do io.stderr:write(f .. '\n') end
vim.cmd((#failures == 0 and 'qall!' or 'cquit!'))
