// usage: notes.mjs RESULTS SIGNING FILE...: the release notes, from the Windows legs' results
// (the JSON files tests/windows/run.ps1 writes, one an image) below the folder RESULTS: for each
// FILE on each image, whether the floor held, what was proven, and the counts; a FILE that ran
// on no image is "not run on Windows". SIGNING: "signed" or "unsigned". A malformed file stops it.
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';

const [folder, signing, ...names] = process.argv.slice(2);
const TEXTS = ['file', 'floor', 'boundary', 'remembered', 'native'];
const COUNTS = ['passed', 'failed', 'skipped'];
const runs = readdirSync(folder, { recursive: true }).filter((name) => name.endsWith('.json'))
  .sort().flatMap((name) => {
    const { image, files } = JSON.parse(readFileSync(join(folder, name), 'utf8').trim());
    const wrong = (f) => TEXTS.find((key) => typeof f[key] !== 'string') ??
      COUNTS.find((key) => !Number.isInteger(f[key]));
    const bad = typeof image !== 'string' ? 'image' : !Array.isArray(files) ? 'files' : '';
    const key = bad || files.map(wrong).find((k) => k);
    if (key) throw new Error(`${name}: no results file, its ${key} is missing or of a wrong type`);
    return files.map((f) => ({ image, ...f }));
  });
const cell = (text) => `${text}`.replaceAll('|', '\\|').replace(/\s+/g, ' ');
const HEAD = ['file', 'image', 'floor', '255-byte boundary', 'remembered connection'];
console.log(`Mapcue, ${signing}. To install and check it, see Install in README.md.

How each file ran on Windows (tests/windows/run.ps1 on GitHub-hosted runners):

| ${[...HEAD, 'native ARM64', ...COUNTS].join(' | ')} |
|${'---|'.repeat(6)}${'--:|'.repeat(3)}`);
for (const name of names) {
  const rows = runs.filter((run) => run.file === name);
  if (!rows.length) console.log(`| ${name} | not run on Windows | | | | | | | |`);
  for (const run of rows) {
    const cells = [name, run.image, ...[...TEXTS, ...COUNTS].slice(1).map((key) => run[key])];
    console.log(`| ${cells.map(cell).join(' | ')} |`);
  }
}
