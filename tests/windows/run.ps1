# End to end on real Windows: maps real network drives once and proves them from this session, then
# runs on each file (DIR, win-x86, win-x64 or win-arm64 for its machine: one mapcue*.exe and its
# build's test programs) its machine, every driver group, the version record and the negative
# control; reports to the job summary. One process; shares need elevation. What Windows will not
# set up is skipped with its reason. Exit 2: the kit could not get ready, cannot be trusted, or ran
# below the floor (n: mapped and named alike by WNetGetConnectionW and A, the local disk c:, the
# free letter q:, each file's version record and help, bytes, raw, planted and batch groups);
# 1: a mapcue case failed. Windows cannot catch a device name passed on upper-cased (it takes a
# letter in either case); of the dead sinks only the read-only file is read back.
# usage: powershell -NoProfile -ExecutionPolicy Bypass -File tests\windows\run.ps1 -Bin DIR[,DIR...]
param([Parameter(Mandatory = $true)][string[]]$Bin, [string]$Source)
# Windows PowerShell 5.1 only (PSEdition is new in it): elsewhere Encoding.Default is not ANSI.
if ($PSVersionTable.PSEdition -ne 'Desktop') { Write-Host "run.ps1 needs Windows PowerShell 5.1, not $($PSVersionTable.PSEdition) $($PSVersionTable.PSVersion)"; exit 2 }
$ErrorActionPreference = 'Stop'
if (-not $Source) { $Source = Split-Path (Split-Path $PSScriptRoot) }
$ansi = [System.Text.Encoding]::Default
$passed = 0; $failed = 0; $skipped = 0; $kit = @(); $ran = @{}
$machines = @{ x86 = 0x14C; x64 = 0x8664; arm64 = 0xAA64 }  # IMAGE_FILE_MACHINE_*
$report = @{ Groups = @(); Skips = @(); Failures = @() }
$madeRoot = $madeSubst = $madeRemembered = $false

function Step([string]$Text) { Write-Host "`n== $Text" }
function Fail([string]$Text) { $script:failed++; $script:report.Failures += $Text; Write-Host "FAIL $Text" }
function Broken([string]$Text) { $script:kit += $Text; $script:report.Failures += "kit: $Text"; Write-Host "KIT $Text" }
# Native tools answer through their status; their stderr must not become a terminating error, and
# with standard input closed none of them can wait for an answer. With -Check, a status other than 0 throws.
function Invoke-Native([string]$Exe, [string[]]$ArgList, [switch]$Check) {
    $ErrorActionPreference = 'Continue'
    $lines = @($null | & $Exe @ArgList 2>&1 | ForEach-Object { "$_" })
    $lines | ForEach-Object { Write-Host "  $_" }
    $r = [pscustomobject]@{ Status = $LASTEXITCODE; Lines = $lines; Text = ($lines -join ' ').Trim(); Closing = @($lines | ForEach-Object Trim | Where-Object { $_ })[-1] }
    if (-not $Check) { $r } elseif ($r.Status -ne 0) { throw "$Exe $($ArgList[0]) gave status $($r.Status): $($r.Text)" }
}
# Output read in the ANSI code page, byte for byte, not in the console's OEM one.
function Invoke-Raw([string]$Exe, [string]$Arguments) {
    $info = New-Object System.Diagnostics.ProcessStartInfo -ArgumentList $Exe, $Arguments -Property @{
        UseShellExecute = $false; RedirectStandardOutput = $true; RedirectStandardInput = $true; StandardOutputEncoding = $ansi }
    $process = [System.Diagnostics.Process]::Start($info); $process.StandardInput.Close()
    $text = $process.StandardOutput.ReadToEnd(); $process.WaitForExit()
    [pscustomobject]@{ Status = $process.ExitCode; Text = $text }
}
# Called only for the log: its answer, or the error it met as text, so that it can fail nothing.
function Invoke-ForLog([scriptblock]$Action) { try { & $Action } catch { "error: $($_.Exception.Message)" } }
# On a throwaway runner what cannot be removed deserves a warning, not a failure.
function Undo([string]$What, [scriptblock]$Action) { Write-Host "removing $What"; try { & $Action } catch { Write-Host "::warning::cannot remove ${What}: $($_.Exception.Message -replace '\s+', ' ')" } }
# Appended at once, so that what was gathered outlives a later throw or the job's time-out.
function Summary([string[]]$Lines) { if ($env:GITHUB_STEP_SUMMARY) { [System.IO.File]::AppendAllText($env:GITHUB_STEP_SUMMARY, ($Lines -join "`n") + "`n", (New-Object System.Text.UTF8Encoding $false)) } }
# A drive or share that Windows would not make: its cases are skipped ('~'), saying why.
function Set-NotMade($Made, [string]$Why) {
    if ($Made.Marker) { return }
    $Made.Marker = '~'; $Made.Why = $Why; $script:report.Skips += ($line = "$($Made.L)$($Made.Name): not made: $Why"); Write-Host "  $line"
}
# The machine Windows runs a file's process as, asked of it started suspended, so that it runs nothing.
function Get-ProcessMachine([string]$Exe) {
    $startup = New-Object byte[] 104; $startup[0] = if ([IntPtr]::Size -eq 8) { 104 } else { 68 }; $process = New-Object IntPtr[] 4
    $info = New-Object int[] 2  # PROCESS_MACHINE_INFORMATION, of ProcessMachineTypeInfo (9)
    if (-not [Kit.Api]::CreateProcessW($Exe, [IntPtr]::Zero, [IntPtr]::Zero, [IntPtr]::Zero, $false, 4, [IntPtr]::Zero, [IntPtr]::Zero, $startup, $process)) {  # CREATE_SUSPENDED
        throw "CreateProcessW: $([ComponentModel.Win32Exception]::new().Message)" }
    try { if ([Kit.Api]::GetProcessInformation($process[0], 9, $info, 8)) { $info[0] -band 0xFFFF } else { throw "GetProcessInformation: $([ComponentModel.Win32Exception]::new().Message)" } }
    finally { [void][Kit.Api]::TerminateProcess($process[0], 1); $process[0..1] | ForEach-Object { [void][Kit.Api]::CloseHandle($_) } }
}

$tag = 'mcq' + (Get-Random -Minimum 1000 -Maximum 10000)
$root = Join-Path $env:SystemDrive $tag; $a = 'a' * 100
# A 64-character share name keeps the local folders of the 300-byte name within MAX_PATH.
$shares = @(@{ Name = $tag; Path = "$root\p" }
    @{ Name = "$tag spaced share"; Path = "$root\s" }
    @{ Name = "${tag}_$([char]0xD6)ffentlich"; Path = "$root\u" }
    @{ Name = "${tag}_" + 'L' * 56; Path = "$root\l" })
# Status: what mapcue gives (0 the path, 1 ERROR_NOT_CONNECTED). Of Windows' own answers only
# what a row rests on is required, else it is skipped: WNetGetConnectionW naming a mapped drive
# (Bytes long, any case), WNetGetConnectionA failing with mapcue's 255 bytes on a longer name,
# and answering Raw on r:.
$drives = @(@{ L = 'm'; Share = $shares[0]; Sub = ''; Status = 0 }
    @{ L = 'n'; Share = $shares[0]; Sub = '\docs'; Status = 0 }
    @{ L = 's'; Share = $shares[1]; Sub = '\two words'; Status = 0 }
    @{ L = 'u'; Share = $shares[2]; Sub = "\B$([char]0xFC)cher$([char]0x20AC)"; Status = 0 }
    @{ L = 'j'; Share = $shares[3]; Sub = "\$a\" + 'b' * 76; Status = 0; Bytes = 254 }
    @{ L = 'k'; Share = $shares[3]; Sub = "\$a\" + 'b' * 77; Status = 1; Bytes = 255 }
    @{ L = 'l'; Share = $shares[3]; Sub = "\$a\" + 'c' * 122; Status = 1; Bytes = 300 }
    @{ L = 'r'; Share = $shares[0]; Sub = ''; Status = 1; Raw = @(1201, 1203); Remember = $true }
    @{ L = 't'; Status = 1; Remote = "subst of $root\subst" }
    @{ L = 'c'; Status = 1; Remote = 'local disk' }
    @{ L = 'q'; Status = 1; Remote = 'free letter' }
    @{ L = 'h'; Status = 1; Remote = 'free letter' })
$letter = @{}; foreach ($d in $drives) { $letter[$d.L] = $d }
$os = Invoke-ForLog { Get-CimInstance Win32_OperatingSystem | ForEach-Object { "$($_.Caption) $($_.Version)" } }
$image = "$os $env:PROCESSOR_ARCHITECTURE, runner image $env:ImageOS $env:ImageVersion"
$elevated = ([Security.Principal.WindowsPrincipal][Security.Principal.WindowsIdentity]::GetCurrent()).IsInRole([Security.Principal.WindowsBuiltInRole]::Administrator)
$where = "ANSI code page $($ansi.CodePage), $(if ($elevated) { 'elevated' } else { 'not elevated' })"
Write-Host "$image`n$where"; Summary "## mapcue end to end on $image; $where"
if (-not $elevated) { Summary '**Not elevated**: no share can be made, so the mapped drives are skipped and the run is below its floor.' }

try {
    $files = @(foreach ($dir in ($Bin -split ',' | Resolve-Path).Path) {
        $f = @{ Exe = @(Get-ChildItem $dir -Filter 'mapcue*.exe').FullName; Arch = (Split-Path -Leaf $dir) -replace '^win-' }
        if ($f.Exe.Count -ne 1 -or -not $machines[$f.Arch]) { throw "$dir holds $($f.Exe.Count) mapcue*.exe, not one, or is not win-x86, win-x64 or win-arm64" }
        foreach ($p in 'e2e', 'naive_lookup', 'verinfo', 'buffer_control', 'write_probe') { $f[$p] = Join-Path $dir "$p.exe" }
        $f.plant = Join-Path $dir 'planted_mpr.dll'; $f  # the driver takes these two from beside itself
    })
    $golden = "$Source\tests\data\help.golden"; $batch = "$Source\examples\share-path.cmd"
    $groupsFile = "$Source\tests\driver\groups.txt"; $record = "$Source\tests\data\verinfo.expected"
    @($files | ForEach-Object { @($_.Values) -ne $_.Arch }) + @($golden, $batch, $groupsFile, $record) |
        Where-Object { -not (Test-Path -LiteralPath $_) } | ForEach-Object { throw "missing $_" }
    Add-Type -Namespace Kit -Name Api -MemberDefinition @'
[DllImport("mpr.dll", CharSet = CharSet.Unicode)] public static extern int WNetGetConnectionW(string local, System.Text.StringBuilder remote, ref int size);
[DllImport("mpr.dll", CharSet = CharSet.Unicode)] public static extern int WNetCancelConnection2W(string name, int flags, bool force);
[StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)] public class NetResource { public int Scope, Type, DisplayType, Usage; public string LocalName, RemoteName, Comment, Provider; }
[DllImport("mpr.dll", CharSet = CharSet.Unicode)] public static extern int WNetAddConnection2W(NetResource resource, IntPtr password, IntPtr user, int flags);
[DllImport("kernel32.dll", CharSet = CharSet.Unicode)] public static extern int QueryDosDeviceW(string device, System.Text.StringBuilder target, int size);
[DllImport("kernel32.dll", CharSet = CharSet.Unicode, SetLastError = true)] public static extern bool CreateProcessW(string app, IntPtr line, IntPtr a, IntPtr b, bool inherit, int flags, IntPtr env, IntPtr dir, byte[] startup, [In, Out] IntPtr[] process);
[DllImport("kernel32.dll", SetLastError = true)] public static extern bool GetProcessInformation(IntPtr process, int infoClass, [In, Out] int[] info, int size);
[DllImport("kernel32.dll")] public static extern bool TerminateProcess(IntPtr process, int status);
[DllImport("kernel32.dll")] public static extern bool CloseHandle(IntPtr handle);
'@

    Step 'Pre-flight: who runs this, the logon sessions, the connections already there'
    foreach ($c in @('whoami', '/groups'), @('whoami', '/logonid'), @('klist', 'sessions'), @('net', 'use')) {
        Write-Host "  $($c -join ' '): $(Invoke-ForLog { "status $((Invoke-Native $c[0] $c[1]).Status)" })"
    }

    Step 'Checking that the drive letters are free'
    $used = [System.IO.Directory]::GetLogicalDrives() | ForEach-Object { $_.Substring(0, 1) }
    Write-Host "in use: $used"
    $drives | Where-Object { $_.L -ne 'c' -and ($used -contains $_.L -or (Test-Path "HKCU:\Network\$($_.L)")) } |
        ForEach-Object { throw "$($_.L): is taken" }
    if ((New-Object System.IO.DriveInfo 'C').DriveType -ne 'Fixed') { Set-NotMade $letter.c 'C: is no local disk' }
    if ($ansi.CodePage -ne 1252) { Set-NotMade $shares[2] "ANSI code page $($ansi.CodePage) cannot hold its name" }
    if (Test-Path -LiteralPath $root) { throw "$root exists already" }
    [void][System.IO.Directory]::CreateDirectory($root); $madeRoot = $true

    # The server and the shares need elevation; without it the rest still runs.
    if (-not $elevated) { $serverReason = 'not elevated' } else {
        Step 'Starting the file server (LanmanServer)'
        try {
            if ((Get-Service LanmanServer).StartType -eq 'Disabled') { Set-Service LanmanServer -StartupType Manual }
            Start-Service LanmanServer
            Write-Host "LanmanServer: $(Invoke-ForLog { (Get-Service LanmanServer).Status })"
        } catch { $serverReason = "LanmanServer cannot start: $($_.Exception.Message)"; Write-Host $serverReason }
    }

    # Everyone by its SID (a localized Windows names it otherwise); mapped as this user: no password to fail.
    Step 'Making the shares, full access for Everyone'
    $everyone = ([Security.Principal.SecurityIdentifier]'S-1-1-0').Translate([Security.Principal.NTAccount]).Value
    foreach ($s in $shares | Where-Object { -not $_.Marker }) {
        if ($serverReason) { Set-NotMade $s $serverReason; continue }
        try {
            [void][System.IO.Directory]::CreateDirectory($s.Path)
            New-SmbShare -Name $s.Name -Path $s.Path -FullAccess $everyone | Out-Null
            $s.Made = $true; Write-Host "share '$($s.Name)' on $($s.Path)"
        } catch { Set-NotMade $s "share cannot be made: $($_.Exception.Message)" }
    }

    # The API to either server first: it never prompts, where net use, tried after it, may wait for
    # a password nobody can type. \\127.0.0.1 is as long as \\localhost. Skipped only when all four fail.
    Step 'Mapping the network drives'
    foreach ($d in $drives | Where-Object { $_.Share }) {
        if ($d.Share.Marker) { Set-NotMade $d $d.Share.Why; continue }
        $refused = @()
        foreach ($try in 'WNetAddConnection2W localhost', 'WNetAddConnection2W 127.0.0.1', 'net-use localhost', 'net-use 127.0.0.1') {
            $way, $server = -split $try; $d.Remote = "\\$server\" + $d.Share.Name + $d.Sub; $size = $ansi.GetByteCount($d.Remote)
            try {
                [void][System.IO.Directory]::CreateDirectory($d.Share.Path + $d.Sub)
                $resource = New-Object 'Kit.Api+NetResource' -Property @{ Type = 1; LocalName = "$($d.L):"; RemoteName = $d.Remote }  # RESOURCETYPE_DISK
                $status, $why = if ($way -eq 'net-use') { $r = Invoke-Native net @('use', "$($d.L):", $d.Remote, "/persistent:$(if ($d.Remember) { 'yes' } else { 'no' })"); $r.Status, $r.Text }
                else { ($code = [Kit.Api]::WNetAddConnection2W($resource, [IntPtr]::Zero, [IntPtr]::Zero, [int][bool]$d.Remember)), [ComponentModel.Win32Exception]::new($code).Message }  # CONNECT_UPDATE_PROFILE
                Write-Host "$way $($d.L): $($d.Remote) ($size bytes): status $status $why"
                if ($d.Mapped = $status -eq 0) { break }
                $refused += "$way \\${server}: status $status $why"
            } catch { $refused += "$way \\${server} threw: $($_.Exception.Message)" }
        }
        if ($d.Mapped) { continue }
        Write-Host "  $($refused -join "`n  ")`n  Get-SmbConnection:$(Invoke-ForLog { Get-SmbConnection | Out-String })"
        if (-not $d.Remember) { Set-NotMade $d "Windows refused this $size-byte name every way: $($refused -join '; ')" }
    }

    # WNetCancelConnection2 without CONNECT_UPDATE_PROFILE keeps the profile's entry, which answers
    # 1201 (remembered, unavailable), or 1203 where a provider has no network (WebDAV client stopped).
    # Written by hand only where Windows would not, and so marked; Windows may not read that one (2250).
    Step 'R: remembered by Windows, its live connection dropped'
    $d = $letter.r; $remote = $d.Remote; $madeRemembered = -not $d.Marker
    $why = if (-not $d.Mapped) { 'Windows would not map it' }
    elseif (($status = [Kit.Api]::WNetCancelConnection2W('R:', 0, $true)) -ne 0) { "WNetCancelConnection2W gave $status" }
    elseif (-not (Test-Path 'HKCU:\Network\R')) { 'Windows wrote no HKCU:\Network\R' }
    $d.Mapped = $false; $d.Remote += " (remembered by $(if ($why) { "hand: $why" } else { 'Windows' }), not connected)"
    if ($why -and $madeRemembered) { New-Item 'HKCU:\Network\R' -Force | Out-Null
        @{ RemotePath = $remote; ProviderName = 'Microsoft Windows Network'; ProviderType = 0x20000; ConnectionType = 1; UserName = '' }.GetEnumerator() |
            ForEach-Object { New-ItemProperty 'HKCU:\Network\R' $_.Key -Value $_.Value -PropertyType $(if ($_.Value -is [int]) { 'DWord' } else { 'String' }) | Out-Null } }

    Step "subst T: $root\subst"
    [void][System.IO.Directory]::CreateDirectory("$root\subst")
    $r = Invoke-Native subst @('T:', "$root\subst")
    if ($r.Status -eq 0) { $madeSubst = $true } else { Set-NotMade $letter.t "subst gave status $($r.Status): $($r.Text)" }

    # All logged, each letter on its own; a letter whose required answer differs, or that throws,
    # is skipped as not made. The table takes a mapped drive's name as WNetGetConnectionW gives it.
    Step 'What WNetGetConnectionA (naive_lookup.exe, 255 bytes) and WNetGetConnectionW answer'
    Summary @("### Windows' own answers: WNetGetConnectionA (naive_lookup.exe, 255 bytes), W", '```')
    foreach ($d in $drives) {
        $raw = "$($d.L):"
        try {
            $p = Invoke-Raw $files[0].naive_lookup "$($d.L):"; $size = 32768; $wide = New-Object System.Text.StringBuilder $size
            $w = [Kit.Api]::WNetGetConnectionW("$($d.L):", $wide, [ref]$size); $d.Wide = "$wide"
            $raw += ' status {0}, {1} bytes [{2}]; W: status {3} [{4}]' -f $p.Status, $ansi.GetByteCount($p.Text), $p.Text, $w, $wide
            # mapcue answers as A does: a row holds only where A fails as its status says, or gives W's name.
            $ok = (-not $d.Mapped -or ($w -eq 0 -and $d.Wide -eq $d.Remote -and (-not $d.Bytes -or $ansi.GetByteCount($d.Wide) -eq $d.Bytes))) -and
                (-not $d.Raw -or $d.Raw -contains $p.Status) -and ($p.Status -eq 0) -eq ($d.Status -eq 0) -and ($d.Status -or $p.Text -ceq $d.Wide)
            if ($d.Bytes -gt 254) { $raw += "; with 4095 bytes: $(Invoke-ForLog { $x = Invoke-Raw $files[0].naive_lookup "$($d.L): 4095"; "status $($x.Status) [$($x.Text)]" })" }
            if ($d.L -eq 't') {  # the subst drive, there and pointing at its folder
                $target = New-Object System.Text.StringBuilder 32768; [void][Kit.Api]::QueryDosDeviceW('T:', $target, 32768)
                $raw += "; QueryDosDevice [$target]; in GetLogicalDrives: $($listed = [System.IO.Directory]::GetLogicalDrives() -contains 'T:\'; $listed)"
                $ok = $ok -and $listed -and "$target" -eq "\??\$root\subst"
            }
        } catch { $raw += "; error: $($_.Exception.Message)"; $ok = $false }
        Write-Host "  $raw"; Summary $raw
        if (-not $ok) { Set-NotMade $d "not what was set up: $raw" }
    }
    Summary '```'

    Step 'Drive table'
    $table = "$root\drives.txt"
    $rows = foreach ($d in $drives) { "$($d.L)`t" + $(if ($d.Marker) { "$($d.Marker)`t$($d.Why -replace '[\s#]+', ' ')" } elseif ($d.Status) { "1`t$($d.Remote)" } else { "0`t$($d.Wide)" }) }
    # The code page's bytes alone: where it is UTF-8 (65001), WriteAllText would put a byte-order mark first.
    [System.IO.File]::WriteAllBytes($table, $ansi.GetBytes(($rows -join "`n") + "`n"))
    $rows | ForEach-Object { Write-Host "  $_" }
    Summary (@('### Drive table (letter, answer, remote name or reason)', '```') + $rows + '```')
    $unproven = @($letter.j, $letter.k | Where-Object { $_.Marker } | ForEach-Object { "$($_.L): $($_.Why)" })
    if ($unproven) { Summary "**The 255-byte boundary was not proven on this image**: $($unproven -join '; ')" }

    $groups = @(Get-Content $groupsFile | ForEach-Object { (($_ -replace '#.*').Trim() -split '\s+')[0] } | Where-Object { $_ })
    if ($groups.Count -eq 0) { throw "no groups in $groupsFile" }
    foreach ($f in $files) {
        $name = Split-Path -Leaf $f.Exe
        Step "The machine of ${name}: its PE header, and the process Windows makes of it"
        $bytes = [System.IO.File]::ReadAllBytes($f.Exe); $want = $machines[$f.Arch]
        $header = [BitConverter]::ToUInt16($bytes, [BitConverter]::ToInt32($bytes, 0x3C) + 4)
        $process = Invoke-ForLog { Get-ProcessMachine $f.Exe }  # known from Windows 11 and Server 2025 on
        $says = '{0}: PE machine 0x{1:X4}, as a process {2}, listed for {3} (0x{4:X4})' -f $name, $header, $(if ($process -is [int]) { '0x{0:X4}' -f $process } else { $process }), $f.Arch, $want
        Write-Host $says; Summary $says
        # Required of the ARM64 file alone: it runs natively, not emulated. The others' is logged.
        if ($header -ne $want -or ($f.Arch -eq 'arm64' -and $process -is [int] -and $process -ne $want)) { Fail "machine of $says" } else { $passed++ }
        if ($f.Arch -eq 'arm64' -and $process -isnot [int]) { $skipped++; $report.Skips += "native start not shown: $says" }

        Step "The version record of $name, as Windows reads it (verinfo.exe)"
        $r = Invoke-Native $f.verinfo @($f.Exe, $record)  # it expects the file's own name
        if ($r.Status -eq 0) { $passed++ } else { Fail "version record of ${name}: verinfo status $($r.Status)" }
        $ran["$name version record"] = $r.Status -in 0, 1  # 1: it differs, a failure of mapcue's
        $report.Groups += "| $name version record | $([int]($r.Status -eq 0)) | $([int]($r.Status -ne 0)) | 0 |"

        foreach ($g in $groups) {
            Step "$name, group $g"
            $r = Invoke-Native $f.e2e @($g, $f.Exe, $table, $golden, $batch)
            $report.Skips += @($r.Lines | Where-Object { $_ -match '^skip |: skipped' } | ForEach-Object { "$name ${g}: $_" })
            $report.Failures += @($r.Lines | Where-Object { $_ -match '^FAIL ' } | ForEach-Object { "$name ${g}: $_" })
            if ($r.Lines -match '^FAIL control: ') { Broken "$name ${g}: a sink the driver's control can write to" }
            if ($r.Closing -match "^$([regex]::Escape($g)): (\d+) passed, (\d+) failed(, (\d+) skipped)?$") {
                $counts = [int]$Matches[1], [int]$Matches[2], [int]$Matches[4]
                $passed += $counts[0]; $failed += $counts[1]; $skipped += $counts[2]; $ran["$name $g"] = $counts[0] -gt 0
                $report.Groups += "| $name $g | $($counts -join ' | ') |"
                if ($r.Status -ne 0 -and $counts[1] -eq 0) { Fail "$name group ${g}: driver status $($r.Status)" }
            } else { Fail "$name group ${g}: no closing line (driver status $($r.Status))" }
        }

        Step "The negative control beside ${name}: a lookup handing over 256 bytes, to be caught on k: and K: alone"
        if ($letter.k.Marker) { $skipped++; $report.Skips += "$name control: k: not made: $($letter.k.Why)"; $report.Groups += "| $name control | 0 | 0 | 1 |"; continue }
        $lookup, $names = 'lookup', 'names' | ForEach-Object { Invoke-Native $f.e2e @($_, $f.buffer_control, $table, $golden, $batch) }
        $caught = $lookup.Closing -match '^lookup: [1-9]\d* passed, 0 failed' -and $names.Closing -match '^names: \d+ passed, 2 failed' -and
            @($names.Lines | Where-Object { $_ -match '^FAIL name \[[kK]:\] of 2: status 0 ' }).Count -eq 2
        if (-not $caught) { Broken "the control beside $name was not caught on k: and K: alone: $($lookup.Closing); $($names.Closing)" }
        $report.Groups += "| $name control, caught on k: K: alone | $([int]$caught) | $([int](-not $caught)) | 0 |"

    }
} catch {
    Broken "stopped: $($_.Exception.Message)"
    Write-Host $_.InvocationInfo.PositionMessage
} finally {
    Step 'Removing what the run made'
    foreach ($d in $drives | Where-Object { $_.Mapped }) { Undo "$($d.L):" { Invoke-Native net @('use', "$($d.L):", '/delete', '/y') -Check } }
    if ($madeSubst) { Undo 'T:' { Invoke-Native subst @('T:', '/d') -Check } }
    # CONNECT_UPDATE_PROFILE removes a remembered connection; a key it leaves (a hand-written one) goes by hand.
    if ($madeRemembered) { Undo 'the remembered R:' { Write-Host "  WNetCancelConnection2W: $([Kit.Api]::WNetCancelConnection2W('R:', 1, $true))"
        if (Test-Path 'HKCU:\Network\R') { Remove-Item 'HKCU:\Network\R' -Recurse } } }
    foreach ($s in $shares | Where-Object { $_.Made }) { Undo "share $($s.Name)" { Remove-SmbShare -Name $s.Name -Force } }
    if ($madeRoot) { Undo $root { Remove-Item -LiteralPath $root -Recurse -Force } }
}
# A run that skipped too much has proven nothing, however many cases passed.
$floor = @($letter.n, $letter.c, $letter.q | Where-Object { $_.Marker } | ForEach-Object { "$($_.L): $($_.Why)" }) + @(foreach ($f in $files) {
    'version record', 'help', 'bytes', 'raw', 'planted', 'batch' | ForEach-Object { "$(Split-Path -Leaf $f.Exe) $_" } | Where-Object { -not $ran[$_] } })
if ($floor) { Broken "below the floor: $($floor -join '; ')" }
$closing = "$passed passed, $failed failed, $skipped skipped"
$status, $verdict = if ($kit) { 2, "the kit could not get ready or cannot be trusted: $($kit -join '; ')" }
elseif ($failed -gt 0) { 1, 'a mapcue case failed' } else { 0, 'everything required passed' }
Write-Host "`n$closing`nexit ${status}: $verdict"
Summary (@("### exit ${status}: $verdict", '', "**$closing**", '', '| group | passed | failed | skipped |', '|---|--:|--:|--:|') + $report.Groups +
    @('', "### Skipped ($($report.Skips.Count))", '```') + $report.Skips + @('```', '',
    "### Failed (first 40 of $($report.Failures.Count))", '```') + @($report.Failures | Select-Object -First 40) + '```')
exit $status
