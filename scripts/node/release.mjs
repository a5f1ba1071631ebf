// usage: release.mjs DIST [VERSION EXE...]: given the EXEs (each in its architecture's build folder, beside its toolchain.txt),
// writes beside DIST's zip, from its bytes, winget's three manifests, Scoop's and an SBOM; then checks those in DIST, and plants
// each fault below in a copy, insisting that its check notices.
import { createHash } from 'node:crypto';
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { unzipSync } from 'fflate';
import { parse, stringify } from 'yaml';
import { Enums, Models as M, Serialize as S, Spec, Validation } from '@cyclonedx/cyclonedx-library';

const [dist, version, ...exes] = process.argv.slice(2), json = JSON.stringify, ID = 'MapcueProject.Mapcue';
const TYPES = ['version', 'defaultLocale', 'installer'], WINGET = ['', '.locale.en-US', '.installer'].map((t) => `${ID}${t}.yaml`);
const SCOOP = 'mapcue.json', SCOOP_ARCH = { x86: '32bit', x64: '64bit', arm64: 'arm64' }; // and each one's PE machine:
const MACHINE = { x86: 0x14c, x64: 0x8664, arm64: 0xaa64, '32bit': 0x14c, '64bit': 0x8664 };
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex'), stem = (v) => `mapcue-${v}-windows`;

if (version) {
  const [zipName, sbomName] = [`${stem(version)}.zip`, `${stem(version)}.cdx.json`], zip = readFileSync(join(dist, zipName)), hash = sha256(zip);
  const repo = process.env.GITHUB_REPOSITORY, home = `https://github.com/${repo || 'PLACEHOLDER/mapcue'}`;
  if (!repo) console.log(`no GITHUB_REPOSITORY (owner/name): the manifests' URLs name ${home}`);
  const url = (v) => `${home}/releases/download/v${v}/${stem(v)}.zip`, description = 'Displays the UNC path for a mapped drive letter.';
  const winget = (ManifestType, fields) => stringify({ PackageIdentifier: ID, PackageVersion: version, ...fields,
    ManifestType, ManifestVersion: '1.12.0' }, { version: '1.1', lineWidth: 0 }); // quotes all YAML 1.1 or 1.2 reads as non-text
  const files = {
    [WINGET[0]]: winget('version', { DefaultLocale: 'en-US' }),
    [WINGET[1]]: winget('defaultLocale', { PackageLocale: 'en-US', Publisher: 'Mapcue Project', PackageName: 'Mapcue',
      License: 'MIT', ShortDescription: description, ...(repo && { PackageUrl: home, LicenseUrl: `${home}/blob/v${version}/LICENSE` }) }),
    [WINGET[2]]: winget('installer', { InstallerType: 'zip', NestedInstallerType: 'portable', Installers: exes.map((exe) => ({
      Architecture: basename(dirname(exe)), InstallerUrl: url(version), InstallerSha256: hash,
      NestedInstallerFiles: [{ RelativeFilePath: basename(exe), PortableCommandAlias: 'mapcue' }] })) }),
    [SCOOP]: `${json({ version, description, homepage: home, license: 'MIT', url: url(version), hash,
      architecture: Object.fromEntries(exes.map((exe) => [SCOOP_ARCH[basename(dirname(exe))], { bin: [[basename(exe), 'mapcue']] }])),
      checkver: { github: home }, autoupdate: { url: url('$version'), hash: { url: '$url.sha256' } } }, null, 2)}\n`,
  };
  // The zip and each file in it; each executable with its compiler and linker (the first line of each one's version).
  const component = (name, bytes) => new M.Component(Enums.ComponentType.File, name, { bomRef: name, version,
    hashes: new M.HashDictionary([[Enums.HashAlgorithm['SHA-256'], sha256(bytes)]]), licenses: new M.LicenseRepository([new M.SpdxLicense('MIT')]),
    properties: new M.PropertyRepository(exes.filter((exe) => basename(exe) === name).flatMap((exe) => readFileSync(join(dirname(exe),
      'toolchain.txt'), 'utf8').split('\n', 2).map((line, i) => new M.Property(`mapcue:${['compiler', 'linker'][i]}`, line)))) });
  const bom = new M.Bom({ components: new M.ComponentRepository(Object.entries(unzipSync(zip)).map((e) => component(...e))) });
  Object.assign(bom.metadata, { component: component(zipName, zip), timestamp: new Date(process.env.SOURCE_DATE_EPOCH * 1000) });
  files[sbomName] = `${new S.JsonSerializer(new S.JSON.Normalize.Factory(Spec.Spec1dot6)).serialize(bom, { sortLists: true, space: 2 })}\n`;
  for (const [name, text] of Object.entries(files)) writeFileSync(join(dist, name), text);
}

const read = Object.fromEntries(readdirSync(dist).map((name) => [name, readFileSync(join(dist, name))]));
const zipName = Object.keys(read).find((name) => /^mapcue-.+-windows\.zip$/.test(name)), v = zipName.slice(7, -12), sbom = `${stem(v)}.cdx.json`;
// Each claim: its check, what it holds true, and whether it does.
async function claims(files) {
  const text = (name) => files[name]?.toString() ?? '', zip = files[zipName], hash = sha256(zip), inZip = unzipSync(zip);
  const yaml = (version) => WINGET.map((name) => parse(text(name), { version }) ?? {}), w = yaml('1.2'), [wv, , wi] = w;
  const s = JSON.parse(text(SCOOP).replace(/^\uFEFF/, '')), b = JSON.parse(text(sbom)), I = wi.Installers ?? [];
  const listed = [...I.map((i) => [i.Architecture, (i.NestedInstallerFiles ?? []).map((f) => [f.RelativeFilePath,
    f.PortableCommandAlias])]), ...Object.entries(s.architecture ?? {}).map(([a, { bin }]) => [a, [bin].flat().map((e) => [e].flat())])];
  const has = (doc, keys) => keys.split(' ').every((key) => doc?.[key]), tail = `/releases/download/v${v}/${zipName}`;
  const machine = (pe) => pe?.length > 64 && Buffer.from(pe).readUInt16LE(Buffer.from(pe).readUInt32LE(60) + 4);
  const sha = (c) => `${c?.name} ${c?.hashes?.find((h) => h.alg === 'SHA-256')?.content} ${c?.licenses?.[0]?.license?.id}`;
  const leaves = (x) => (x !== null && typeof x === 'object' ? Object.values(x).flatMap(leaves) : [x]);
  return [
    ['required fields', 'winget', w.every((d, i) => has(d, `PackageIdentifier PackageVersion ManifestVersion ManifestType ${
      ['DefaultLocale', 'PackageLocale Publisher PackageName License ShortDescription', 'Installers'][i]}`))],
    ['required fields', 'each installer a zip of one portable file', I.every((i) => has(i, 'Architecture InstallerUrl InstallerSha256')
      && `${i.InstallerType ?? wi.InstallerType} ${i.NestedInstallerType ?? wi.NestedInstallerType} ${i.NestedInstallerFiles?.length}` === 'zip portable 1')],
    ['required fields', 'Scoop', has(s, 'version description homepage license url hash architecture checkver autoupdate')],
    ['winget files agree', 'identifier, version, manifest version (1.10.0 or 1.12.0)', ['1.10.0', '1.12.0'].includes(wv.ManifestVersion) && w.every((d, i) =>
      `${d.PackageIdentifier} ${d.PackageVersion} ${d.ManifestVersion} ${d.ManifestType}` === `${ID} ${v} ${wv.ManifestVersion} ${TYPES[i]}`)],
    ['values are text', 'under YAML 1.2 and 1.1', leaves([...w, ...yaml('1.1')]).every((x) => typeof x === 'string')],
    ["the zip's URL and hash", 'winget, Scoop (autoupdate: $version, $url.sha256), .sha256', [...I.map((i) => [i.InstallerUrl, i.InstallerSha256]),
      [s.url, s.hash], [s.autoupdate?.url?.replaceAll('$version', 0) === s.url?.replaceAll(v, 0) && s.autoupdate.hash?.url === '$url.sha256'
        ? s.url : '', text(`${zipName}.sha256`).split(' ')[0]]].every(([u, h]) => u?.endsWith(tail) && h?.toLowerCase() === hash)],
    ['files in the zip, by machine', 'each architecture once', json(listed.map(([a]) => a).sort()) === json(Object.entries(SCOOP_ARCH).flat().sort())],
    ['files in the zip, by machine', 'each file its PE machine', listed.every(([a, f]) => f.every(([p]) => machine(inZip[p]) === MACHINE[a]))],
    ['aliases unique, paths inside', 'no absolute path, no ..', listed.flatMap(([, f]) => f).every(([p]) => !/^([\\/]|[a-z]:)|(^|[\\/])\.\.([\\/]|$)/i.test(p))],
    ['aliases unique, paths inside', 'aliases', listed.every(([, f]) => new Set(f.map(([, alias]) => alias)).size === f.length)],
    ['Scoop without BOM', 'UTF-8', new TextDecoder('utf-8', { fatal: true, ignoreBOM: true }).decode(files[SCOOP])[0] === '{'],
    ['SBOM valid', 'CycloneDX 1.6', !(await new Validation.JsonStrictValidator(Spec.Version.v1dot6).validate(text(sbom)))],
    ["SBOM hashes are the files'", 'the zip and each file in it', json([b.metadata?.component, ...(b.components ?? [])]
      .map(sha).sort()) === json([[zipName, zip], ...Object.entries(inZip)].map(([n, d]) => `${n} ${sha256(d)} MIT`).sort())],
    ["SBOM hashes are the files'", 'each executable its compiler and linker', (b.components ?? []).every((c) =>
      !c.name.endsWith('.exe') || json(c.properties?.map((p) => /\d/.test(p.value) && p.name)) === json(['mapcue:compiler', 'mapcue:linker']))],
  ];
}
// The first claim of each check that does not hold.
const failures = async (files) => Object.fromEntries((await claims(files).catch((e) => [['reading', e.message, false]]))
  .filter(([, , holds]) => !holds).reverse());
const found = await failures(read), checks = [...new Set((await claims(read)).map(([check]) => check))], missed = [];
for (const check of checks) console.log(found[check] ? `FAIL ${check}: ${found[check]}` : `ok ${check}`);
// Each fault: the check that must notice it, the file it is planted in, what it is, and the text it replaces and by what.
const FAULTS = [
  ['required fields', WINGET[1], 'no License', /^License:.*\n/m, ''],
  ['winget files agree', WINGET[0], 'another identifier in one file', /^PackageIdentifier: .*/m, '$&X'],
  ['values are text', WINGET[2], 'the version unquoted', /^PackageVersion: "(.*)"/m, 'PackageVersion: $1'],
  ["the zip's URL and hash", WINGET[2], 'a wrong hash', /[0-9a-f]{64}/, sha256('')],
  ['files in the zip, by machine', WINGET[2], 'x64 listed as arm64', 'mapcue64a.exe', 'mapcue64.exe'],
  ['aliases unique, paths inside', WINGET[2], 'a path out of the folder', 'RelativeFilePath: ', '$&../'],
  ['Scoop without BOM', SCOOP, 'a byte-order mark', /^/, '\uFEFF'],
  ['SBOM valid', sbom, 'a component of no known type', '"type": "file"', '"type": "exe"'],
  ["SBOM hashes are the files'", sbom, 'a wrong hash of a file', /("components"[^]*?"content": ")\w+/, `$1${sha256('')}`],
];
for (const [check, file, what, from, to] of FAULTS) {
  const copy = { ...read, [file]: Buffer.from(read[file].toString().replace(from, to)) };
  const caught = !copy[file].equals(read[file]) && (await failures(copy))[check];
  console.log(caught ? `caught by ${check}: ${what} in ${file} (${caught})` : `FAIL ${check} missed ${what} in ${file}`);
  if (!caught) missed.push(what);
}
process.exit(Object.keys(found).length || missed.length ? 1 : 0);
