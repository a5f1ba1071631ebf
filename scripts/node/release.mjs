// usage: release.mjs [--check] DIST VERSION EXE..., each EXE beside its build's toolchain.txt and
// machine.txt. Unless --check, writes winget's and Scoop's manifests and an SBOM from DIST's zip;
// then holds them to the managers' rules and the zip: each fault planted in a copy must be noticed.
// With MAPCUE_TESTED (a folder of win-ARCH/FILE as the Windows legs ran them), each executable
// in the zip must be that file, byte for byte once a signature is taken off.
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { unzipSync } from 'fflate';
import { parse, stringify } from 'yaml';
import { Enums, Models, Serialize, Spec, Validation } from '@cyclonedx/cyclonedx-library';

const [dist, version, ...exes] = process.argv.slice(2).filter((arg) => arg !== '--check');
const zipName = `mapcue-${version}-windows.zip`;
const sbomName = zipName.replace(/zip$/, 'cdx.json');
const [ID, COMMAND, LOCALE, SCOOP] = ['MapcueProject.Mapcue', 'mapcue', 'en-US', 'mapcue.json'];
const TYPES = ['version', 'defaultLocale', 'installer'];
const WINGET = ['', `.locale.${LOCALE}`, '.installer'].map((kind) => `${ID}${kind}.yaml`);
const schema = (type) =>
  `# yaml-language-server: $schema=https://aka.ms/winget-manifest.${type}.1.12.0.schema.json`;
// Scoop's name of each architecture, by winget's (CMake's); the number of each PE machine's name.
const SCOOP_ARCH = { x86: '32bit', x64: '64bit', arm64: 'arm64' };
const PE = { I386: 0x14c, AMD64: 0x8664, ARM64: 0xaa64 };
const arch = (exe) => basename(dirname(exe));
const beside = (exe, name) => readFileSync(join(dirname(exe), name), 'utf8');
const MACHINE = Object.fromEntries(exes.map((exe) => [arch(exe), PE[beside(exe, 'machine.txt')]]));
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');
const zip = readFileSync(join(dist, zipName));
const inZip = unzipSync(zip);
const repo = process.env.GITHUB_REPOSITORY;
const home = `https://github.com/${repo || 'PLACEHOLDER/mapcue'}`;
const url = (v) => `${home}/releases/download/v${v}/mapcue-${v}-windows.zip`;

if (!process.argv.includes('--check')) {
  if (!repo) console.log('no GITHUB_REPOSITORY (OWNER/NAME): the URLs name PLACEHOLDER/mapcue');
  const description = 'Displays the UNC path for a mapped drive letter.';
  // YAML 1.1 quotes whatever 1.1 or 1.2 would read as other than text: "1.00", not 1.
  const head = { PackageIdentifier: ID, PackageVersion: version };
  const winget = (ManifestType, fields) =>
    `${schema(ManifestType)}\n` +
    stringify({ ...head, ...fields, ManifestType, ManifestVersion: '1.12.0' }, { version: '1.1' });
  // The zip and each file in it, each executable with the compiler and linker that built it.
  const file = ([name, bytes]) => {
    const exe = exes.find((path) => basename(path) === name);
    const tools = exe ? beside(exe, 'toolchain.txt').split('\n').slice(0, 2) : [];
    const property = (tool, i) => new Models.Property(`mapcue:${['compiler', 'linker'][i]}`, tool);
    return new Models.Component(Enums.ComponentType.File, name, { bomRef: name, version,
      hashes: new Models.HashDictionary([[Enums.HashAlgorithm['SHA-256'], sha256(bytes)]]),
      licenses: new Models.LicenseRepository([new Models.SpdxLicense('MIT')]),
      properties: new Models.PropertyRepository(tools.map(property)) });
  };
  const bom = new Models.Bom();
  bom.components = new Models.ComponentRepository(Object.entries(inZip).map(file));
  bom.metadata.component = file([zipName, zip]);
  bom.metadata.timestamp = new Date(process.env.SOURCE_DATE_EPOCH * 1000);
  const scoop = { version, description, homepage: home, license: 'MIT', url: url(version),
    hash: sha256(zip), architecture: Object.fromEntries(
      exes.map((exe) => [SCOOP_ARCH[arch(exe)], { bin: [[basename(exe), COMMAND]] }])),
    checkver: { github: home },
    autoupdate: { url: url('$version'), hash: { url: '$url.sha256' } } };
  const files = {
    [WINGET[0]]: winget('version', { DefaultLocale: LOCALE }),
    [WINGET[1]]: winget('defaultLocale', { PackageLocale: LOCALE, Publisher: 'Mapcue Project',
      PackageName: 'Mapcue', License: 'MIT', ShortDescription: description,
      ...(repo && { PackageUrl: home, LicenseUrl: `${home}/blob/v${version}/LICENSE` }) }),
    [WINGET[2]]: winget('installer', { InstallerType: 'zip', NestedInstallerType: 'portable',
      Installers: exes.map((exe) => ({ Architecture: arch(exe), InstallerUrl: url(version),
        InstallerSha256: sha256(zip),
        NestedInstallerFiles: [{ RelativeFilePath: basename(exe), PortableCommandAlias: COMMAND }],
      })) }),
    [SCOOP]: JSON.stringify(scoop, null, 2),
    [sbomName]: new Serialize.JsonSerializer(new Serialize.JSON.Normalize.Factory(Spec.Spec1dot6))
      .serialize(bom, { sortLists: true, space: 2 }),
  };
  for (const [name, text] of Object.entries(files))
    writeFileSync(join(dist, name), `${text.trimEnd()}\n`);
}

// The names of the checks that the dist's files (name: bytes) fail.
async function failing(files) {
  const text = (name) => files[name].toString();
  const winget = (v) => WINGET.map((name) => parse(text(name), { version: v }));
  const docs = winget('1.2');
  const installer = docs[2];
  const scoop = JSON.parse(text(SCOOP).replace(/^\uFEFF/, ''));
  const { metadata, components } = JSON.parse(text(sbomName));
  const contents = { ...inZip, [zipName]: zip };
  const has = (object, keys) => keys.split(' ').every((key) => object[key] !== undefined);
  const leaves = (x) => (typeof x === 'object' ? Object.values(x).flatMap(leaves) : [x]);
  const machine = (pe) => Buffer.from(pe).readUInt16LE(Buffer.from(pe).readUInt32LE(60) + 4);
  const REQUIRED = ['DefaultLocale', 'Publisher PackageName License ShortDescription',
    'InstallerType Installers'];
  const archOf = (scoopName) => Object.keys(SCOOP_ARCH).find((a) => SCOOP_ARCH[a] === scoopName);
  // A path as the zip names it: Windows reads `.\x`, `./x` and `x` alike.
  const inside = (path) => path.replace(/^(\.[\\/])+/, '').replaceAll('\\', '/');
  // Each file a manifest names: its architecture (winget's name), path, alias and manager.
  const named = [
    ...installer.Installers.flatMap(({ Architecture: arch, NestedInstallerFiles: nested }) =>
      nested.map((f) => [arch, inside(f.RelativeFilePath), f.PortableCommandAlias, 'w'])),
    ...Object.entries(scoop.architecture).flatMap(([name, { bin }]) =>
      bin.map(([path, alias]) => [archOf(name), inside(path), alias, 's']))];
  const urls = leaves([docs, scoop]).filter((value) => /:\/\//.test(value));
  const arches = Object.values(scoop.architecture);
  const listed = components.map((c) => c.name).sort();
  const checks = {
    fields:
      docs.every((doc, i) => has(doc, `PackageIdentifier PackageVersion ${REQUIRED[i]}`)) &&
      installer.Installers.every((i) => has(i, 'Architecture InstallerUrl InstallerSha256')) &&
      has(scoop, 'version description homepage license url hash architecture checkver autoupdate'),
    agree: docs.every((doc, i) => doc.ManifestType === TYPES[i] &&
      `${doc.PackageIdentifier} ${doc.PackageVersion} ${doc.ManifestVersion}` ===
        `${ID} ${version} 1.12.0`),
    schema: WINGET.every((name, i) => text(name).match(/^.*/)[0] === schema(TYPES[i])),
    locale: [docs[1].PackageLocale, docs[0].DefaultLocale].every((locale) => locale === LOCALE),
    text: leaves([winget('1.1'), winget('1.2')]).every((value) => typeof value === 'string'),
    zip: [
      ...installer.Installers.map((i) => [i.InstallerUrl, i.InstallerSha256]),
      ...[scoop, ...arches].map((a) => [a.url ?? scoop.url, a.hash ?? scoop.hash]),
    ].every(([at, hash]) => at.endsWith(`/v${version}/${zipName}`) &&
      hash.replace(/^sha256:/i, '').toLowerCase() === sha256(zip)),
    sums: text(`${zipName}.sha256`) === `${sha256(zip)}  ${zipName}\n`,
    // Every address is the release's own: its repository, its tag, https.
    urls: urls.every((u) =>
      [home, url(version), url('$version'), `${home}/blob/v${version}/LICENSE`].includes(u)),
    autoupdate: scoop.autoupdate.url === scoop.url.replaceAll(version, '$version') &&
      scoop.autoupdate.hash?.url === '$url.sha256' && scoop.checkver.github === home,
    portable: installer.Installers.every((i) => `${i.InstallerType ?? installer.InstallerType} ${
      i.NestedInstallerType ?? installer.NestedInstallerType}` === 'zip portable'),
    machines: named.length === 2 * exes.length &&
      named.every(([arch, path]) => inZip[path] && machine(inZip[path]) === MACHINE[arch]),
    alias: named.every(([, , alias]) => alias === COMMAND),
    paths: named.every(([arch, path, alias, by], i) =>
      !/^([\\/]|[a-z]:)|(^|[\\/])\.\.([\\/]|$)/i.test(path) &&
      named.findIndex((n) => `${n[0]} ${n[2]} ${n[3]}` === `${arch} ${alias} ${by}`) === i),
    bom: files[SCOOP].subarray(0, 3).toString('hex') !== 'efbbbf',
    hashes: metadata.component.name === zipName && `${listed}` === `${Object.keys(inZip).sort()}`
      && [metadata.component, ...components].every(({ name, hashes }) =>
        hashes?.some((h) => h.alg === 'SHA-256' && h.content === sha256(contents[name] ?? ''))),
    sbom: !(await new Validation.JsonStrictValidator(Spec.Version.v1dot6).validate(text(sbomName))),
  };
  return Object.keys(checks).filter((check) => !checks[check]);
}

const names = [...WINGET, SCOOP, sbomName, `${zipName}.sha256`];
const files = Object.fromEntries(names.map((name) => [name, readFileSync(join(dist, name))]));
// A PE file as built: the certificate table after the image, the directory entry naming it and
// the checksum, which signing sets, taken out.
const unsigned = (bytes) => {
  const pe = Buffer.from(bytes);
  const optional = pe.readUInt32LE(60) + 24;
  const entry = optional + (pe.readUInt16LE(optional) === 0x20b ? 112 : 96) + 4 * 8;
  const [at, size] = [pe.readUInt32LE(entry), pe.readUInt32LE(entry + 4)];
  const image = Buffer.from(pe.subarray(0, at && at + size === pe.length ? at : pe.length));
  return image.fill(0, optional + 64, optional + 68).fill(0, entry, entry + 8);
};
const tested = process.env.MAPCUE_TESTED;
const untested = exes.filter((exe) => {
  const ran = tested && readFileSync(join(tested, `win-${arch(exe)}`, basename(exe)));
  return ran && !unsigned(inZip[basename(exe)]).equals(unsigned(ran));
});
for (const exe of untested) console.log(`FAIL ${basename(exe)} in the zip is not what Windows ran`);
const failed = [...(await failing(files)), ...untested.map((exe) => basename(exe))];
// PackageUrl is written for a named repository only: there it is made http, else added so.
const packageUrl = repo
  ? ['PackageUrl: https', 'PackageUrl: http']
  : [/^License:/m, 'PackageUrl: http://x\n$&'];
// Each copy: the file, the text replaced and by what, the check to notice it (none: valid input).
const FAULTS = [
  [WINGET[1], /^License:.*\n/m, '', 'fields'],
  [WINGET[0], /^PackageIdentifier: .*/m, '$&X', 'agree'],
  [WINGET[2], /^PackageVersion: "(.*)"/m, 'PackageVersion: $1', 'text'],
  [WINGET[2], /[0-9a-f]{64}/, sha256(''), 'zip'],
  [WINGET[2], 'mapcue64a.exe', 'mapcue64.exe', 'machines'],
  [SCOOP, '"mapcue.exe"', '"../mapcue.exe"', 'paths'],
  [SCOOP, /^/, '\uFEFF', 'bom'],
  [sbomName, '"type": "file"', '"type": "exe"', 'sbom'],
  [WINGET[2], /^.*\n/, '', 'schema'],
  [WINGET[1], 'defaultLocale.1', 'version.1', 'schema'],
  [WINGET[1], /^PackageLocale: .*/m, 'PackageLocale: en-GB', 'locale'],
  [WINGET[2], /^( +PortableCommandAlias: mapcue)$/m, '$1.exe', 'alias'],
  [SCOOP, '"mapcue"', '"mapcue.exe"', 'alias'],
  [SCOOP, '-$version-', `-${version}-`, 'autoupdate'],
  [sbomName, /"hashes": \[[^\]]*\],\s*/, '', 'hashes'],
  [sbomName, /\n {4}\{\s+"type": "file",\s+"name": "LICENSE"[^]*?\n {4}\},/, '', 'hashes'],
  [WINGET[2], /(InstallerUrl: https:\/\/github.com\/)[^/]+/, '$1someone', 'urls'],
  [WINGET[2], 'InstallerUrl: https:', 'InstallerUrl: http:', 'urls'],
  [WINGET[1], ...packageUrl, 'urls'],
  [WINGET[1], /^License:/m, `ReleaseNotesUrl: http://github.com/\n$&`, 'urls'],
  [SCOOP, '"64bit": {', `"64bit": {"hash": "${sha256('')}",`, 'zip'],
  [SCOOP, '"64bit": {', `"64bit": {"url": "${url('0.99')}",`, 'zip'],
  [SCOOP, '"$url.sha256"', `"${url(version)}.sha256"`, 'autoupdate'],
  [SCOOP, `"github": "${home}"`, '"github": "https://github.com/someone/mapcue"', 'autoupdate'],
  [`${zipName}.sha256`, zipName, 'another.zip', 'sums'],
  [WINGET[2], 'InstallerType: zip', 'InstallerType: exe', 'portable'],
  [[WINGET[0], WINGET[1]], /: en-US$/m, ': de-DE', 'locale'],
  [WINGET[2], 'RelativeFilePath: mapcue', 'RelativeFilePath: .\\mapcue'],
  [SCOOP, '"mapcue.exe"', '".\\\\mapcue.exe"'],
  [SCOOP, /"hash": "/, '$&sha256:'],
];
let wrong = 0;
for (const [name, from, to, check] of FAULTS) {
  const copy = { ...files };
  for (const one of [name].flat()) copy[one] = Buffer.from(files[one].toString().replace(from, to));
  const found = await failing(copy).catch(() => ['(threw)']);
  const changed = [name].flat().every((one) => !copy[one].equals(files[one]));
  const right = changed && (check ? found.includes(check) : !found.length);
  const verdict = check ? (right ? 'noticed' : 'UNNOTICED') : right ? 'accepted' : 'REFUSED';
  console.log(`${verdict} in a copy: ${name}: ${from} -> ${to} (${check || 'valid'})`);
  wrong += !right;
}
console.log(`release manifests: ${failed.length} failed (${failed}), ${wrong} copies misjudged`);
process.exit(failed.length + wrong > 0 ? 1 : 0);
