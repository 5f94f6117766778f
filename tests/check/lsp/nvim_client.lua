-- Drives pkgcustomize-check --lsp from Neovim's own LSP client (0.7): opens
-- FOLDER/config.xml and checks what the editor shows against the command
-- line's findings (EXPECTED, --all --format json) and fixes (FIXED, the
-- config.xml --fix writes). Exits 0 when all agree, 1 with what differed.
local folder, expected_file, fixed_file = os.getenv('FOLDER'), os.getenv('EXPECTED'), os.getenv('FIXED')
local failures = {}
local function fail(what) table.insert(failures, what) end

vim.cmd('edit ' .. vim.fn.fnameescape(folder .. '/config.xml'))
local buf = vim.api.nvim_get_current_buf()
local id = vim.lsp.start_client({ cmd = vim.split(os.getenv('SERVER'), '\t'), root_dir = folder })
vim.lsp.buf_attach_client(buf, id)

-- The diagnostics shown, as RULE@LINE:COLUMN with UTF-16 columns from 1.
local function shown()
  local places = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    local line = vim.api.nvim_buf_get_lines(buf, d.lnum, d.lnum + 1, false)[1] or ''
    local _, col16 = vim.str_utfindex(line, math.min(d.col, #line))
    local code = d.code or (d.user_data and d.user_data.lsp and d.user_data.lsp.code)
    table.insert(places, string.format('%s@%d:%d', code, d.lnum + 1, col16 + 1))
  end
  table.sort(places)
  return table.concat(places, ' ')
end

local report = vim.fn.json_decode(table.concat(vim.fn.readfile(expected_file), '\n'))
local want = {}
for _, f in ipairs(report.findings) do
  if f.file == 'config.xml' then table.insert(want, string.format('%s@%d:%d', f.rule, f.line, f.column)) end
end
table.sort(want)
want = table.concat(want, ' ')

if not vim.wait(20000, function() return shown() == want end, 50) then
  fail('diagnostics: ' .. shown() .. '\n  expected: ' .. want)
end

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
local mended = want:gsub(' ?invisible%-character@%d+:%d+', '')
if not vim.wait(20000, function() return shown() == mended end, 50) then
  fail('after the edit: ' .. shown() .. '\n  expected: ' .. mended)
end
vim.cmd('silent undo')
vim.wait(20000, function() return shown() == want end, 50)

-- Fix all, as the client applies it: the buffer then writes what --fix wrote.
local actions = vim.lsp.buf_request_sync(buf, 'textDocument/codeAction', {
  textDocument = { uri = vim.uri_from_bufnr(buf) },
  range = { start = { line = 0, character = 0 }, ['end'] = { line = #lines, character = 0 } },
  context = { diagnostics = {}, only = { 'source.fixAll' } } }, 10000)
local all = actions and actions[id] and actions[id].result and actions[id].result[1]
if not all then
  fail('no fix-all action')
else
  vim.lsp.util.apply_workspace_edit(all.edit, 'utf-16')
  local out = vim.fn.tempname()
  vim.cmd('silent write! ' .. vim.fn.fnameescape(out))
  if table.concat(vim.fn.readfile(out, 'b'), '\n') ~= table.concat(vim.fn.readfile(fixed_file, 'b'), '\n') then
    fail('fix all: the buffer differs from what --fix wrote')
  end
end

vim.lsp.stop_client(id)
for _, f in ipairs(failures) do io.stderr:write(f .. '\n') end
vim.cmd((#failures == 0 and 'qall!' or 'cquit!'))
