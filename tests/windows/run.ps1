# End to end on real Windows (README, "Tested on"): each file (DIR: win-x86, win-x64 or win-arm64,
# one mapcue*.exe and its test programs) against network drives mapped here. Exit 2: the kit could
# not get ready, cannot be trusted or ran below the floor; 1: a mapcue case failed.
# usage: powershell -NoProfile -File tests\windows\run.ps1 -Bin DIR[,DIR...] [-Results FILE]
param([Parameter(Mandatory = $true)][string[]]$Bin, [string]$Source, [string]$Results)
# Windows PowerShell 5.1 only (PSEdition is new in it): elsewhere Encoding.Default is not ANSI.
if ($PSVersionTable.PSEdition -ne 'Desktop') {
    Write-Host "run.ps1 needs Windows PowerShell 5.1, not $($PSVersionTable.PSVersion)"
    exit 2
}
$ErrorActionPreference = 'Stop'
if (-not $Source) { $Source = Split-Path (Split-Path $PSScriptRoot) }
$ansi = [System.Text.Encoding]::Default
$count = @{ passed = 0; failed = 0; skipped = 0 }
$kit, $failures, $groupRows, $made = @(), @(), @(), @{}
$machines = @{ x86 = 0x14C; x64 = 0x8664; arm64 = 0xAA64 }  # IMAGE_FILE_MACHINE_*

function Step([string]$Text) { Write-Host "`n== $Text" }
# Logged, and appended to the summary at once, so that it outlives a throw or the time-out.
function Summary([string[]]$Lines) {
    $text = ($Lines -join "`n") + "`n"
    Write-Host $text -NoNewline
    $file = $env:GITHUB_STEP_SUMMARY
    if ($file) { [IO.File]::AppendAllText($file, $text, (New-Object Text.UTF8Encoding $false)) }
}
# A failure of mapcue's, or with -Kit one of the kit's, which makes the run exit 2.
function Fail([string]$Text, [switch]$Kit) {
    if ($Kit) { $script:kit += $Text } else { $script:count.failed++ }
    $script:failures += "$(('', 'kit: ')[$Kit.IsPresent])$Text"
    Write-Host "FAIL $Text"
}
# Counted (a driver's cases by the driver) and summarised at once, with its reason.
function Skip([string]$Text, [int]$Cases = 1) {
    $script:count.skipped += $Cases
    Summary "- skipped: ``$($Text -replace '\s+', ' ')``"
}
# A drive or share that Windows would not make: its cases are skipped ('~'), saying why.
function Set-NotMade($Thing, [string]$Why) {
    if ($Thing.Why) { return }
    $Thing.Why = $Why
    Skip "$($Thing.L)$($Thing.Name): not made: $Why"
}
# Why a file's row of a letter is skipped: the drive's reason, else the file's own; none: it runs.
function Get-Why($File, [string]$L) { (@($letter[$L].Why, $File.Why[$L]) -ne $null)[0] }
# Of these letters, those skipped for a file, each with why.
function Get-Skips($F, [string[]]$L) { @($L | % { if ($w = Get-Why $F $_) { "${_}: $w" } }) }
# Native tools answer through their status; their stderr must not become a terminating error,
# and with standard input closed none can wait for an answer. -Check: any other status throws.
function Invoke-Native([string]$Exe, [string[]]$ArgList, [switch]$Check) {
    $ErrorActionPreference = 'Continue'
    $lines = @($null | & $Exe @ArgList 2>&1 | ForEach-Object { "$_" })
    $lines | ForEach-Object { Write-Host "  $_" }
    $r = [pscustomobject]@{ Status = $LASTEXITCODE; Lines = $lines; Text = "$lines".Trim()
        Closing = @($lines | ForEach-Object Trim | Where-Object { $_ })[-1] }
    if ($Check -and $r.Status) { throw "$Exe $ArgList gave status $($r.Status): $($r.Text)" }
    $r
}
# naive_lookup.exe's answer, read in the ANSI code page, byte for byte, not the console's OEM one.
function Invoke-Naive($File, [string]$Arguments) {
    $info = New-Object Diagnostics.ProcessStartInfo $File.naive_lookup, $Arguments -Property @{
        UseShellExecute = $false; RedirectStandardOutput = $true; StandardOutputEncoding = $ansi }
    $process = [Diagnostics.Process]::Start($info)
    $text = $process.StandardOutput.ReadToEnd()
    $process.WaitForExit()
    $size = "status $($process.ExitCode), $($ansi.GetByteCount($text)) bytes"
    @{ Status = $process.ExitCode; Text = $text; Said = "$size [$text]"; Size = $size }
}
# Called only for the log: its answer, or the error it met as text, so that it can fail nothing.
function Invoke-ForLog([scriptblock]$Action) { try { & $Action } catch { "error: $_" } }
# On a throwaway runner what cannot be removed deserves a warning, not a failure.
function Undo([string]$What, [scriptblock]$Action) {
    try { & $Action } catch { Write-Host "::warning::cannot remove ${What}: $_" }
}
# A throwaway local account with a random password; the shares' access for Everyone covers it.
function New-Account {
    $name = "${tag}kit"
    $password = 'Aa1!' + [guid]::NewGuid().ToString('N')
    $user = ([ADSI]"WinNT://$env:COMPUTERNAME,computer").Create('User', $name)
    $user.SetPassword($password)
    $user.SetInfo()
    $script:made.account = $name
    "$env:COMPUTERNAME\$name", $password
}
# Maps drive $D to $D.Remote as this user, or as the account; Windows' status and its words.
function Connect($D, [string]$Way) {
    [void][IO.Directory]::CreateDirectory($D.Share.Path + $D.Sub)
    if ($Way -eq 'account' -and -not $script:account) { $script:account = New-Account }
    $user, $password = if ($Way -eq 'account') { $script:account }
    $resource = New-Object 'Kit.Api+NetResource' -Property @{
        Type = 1; LocalName = "$($D.L):"; RemoteName = $D.Remote }  # RESOURCETYPE_DISK
    $code = [Kit.Api]::WNetAddConnection2W($resource, $password, $user, [int][bool]$D.Remember)
    "status $code $([ComponentModel.Win32Exception]::new($code).Message)"  # CONNECT_UPDATE_PROFILE
}
# proven, failed or skipped (with why) for a file: the names group on these letters.
function Get-Proof($File, [string[]]$Letters) {
    $why = Get-Skips $File $Letters
    $fails = @($File.NameFails) -match "^FAIL name \[[$($Letters -join '')]:\]"
    if ($why) { "skipped: $($why -join '; ')" }
    elseif (-not $File.Counts.names) { 'skipped: the names group did not run' }
    elseif ($fails) { "failed: $($fails -join '; ')" } else { 'proven' }
}

$tag = 'Mcq' + (Get-Random -Minimum 1000 -Maximum 10000)
$root = Join-Path $env:SystemDrive $tag
$a = 'a' * 100
# Upper and lower case in the floor's share and folder: a mapcue that changes case fails.
# A 64-character share name keeps the local folders of the 300-byte name within MAX_PATH.
$shares = @(@{ Name = $tag; Path = "$root\p" }
    @{ Name = "$tag spaced share"; Path = "$root\s" }
    @{ Name = "${tag}_$([char]0xD6)ffentlich"; Path = "$root\u" }
    @{ Name = "${tag}_" + 'L' * 56; Path = "$root\l" })
# Status: what mapcue gives (0 the path, 1 ERROR_NOT_CONNECTED); Bytes: the name's length;
# Raw: what WNetGetConnectionA must answer.
$drives = @(@{ L = 'm'; Share = $shares[0]; Sub = ''; Status = 0 }
    @{ L = 'n'; Share = $shares[0]; Sub = '\Docs'; Status = 0 }
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
$letter = @{}
$drives | ForEach-Object { $letter[$_.L] = $_ }
$os = Invoke-ForLog { Get-CimInstance Win32_OperatingSystem | % { "$($_.Caption) $($_.Version)" } }
$image = "$os $env:PROCESSOR_ARCHITECTURE, runner image $env:ImageOS $env:ImageVersion"
$identity = [Security.Principal.WindowsIdentity]::GetCurrent()
$admin = [Security.Principal.WindowsBuiltInRole]::Administrator
$elevated = (New-Object Security.Principal.WindowsPrincipal $identity).IsInRole($admin)
$where = "ANSI code page $($ansi.CodePage), $(('not elevated', 'elevated')[$elevated])"
Summary "## mapcue end to end on $image; $where"

try {
    $files = @(foreach ($dir in ($Bin -split ',' | Resolve-Path).Path) {
        $exe = @(Get-ChildItem $dir -Filter 'mapcue*.exe').FullName
        $f = @{ Exe = $exe; Arch = (Split-Path -Leaf $dir) -replace '^win-'; Why = @{}
            Name = Split-Path -Leaf "$exe"; Counts = @{} }
        if ($exe.Count -ne 1 -or -not $machines[$f.Arch]) {
            throw "$dir holds $($exe.Count) mapcue*.exe, not one, or is not win-x86, -x64 or -arm64"
        }
        # The driver takes planted_mpr.dll and naive_lookup.exe from beside itself.
        $f.Needed = @($exe, "$dir\planted_mpr.dll") + @('e2e', 'naive_lookup', 'verinfo',
            'buffer_control', 'write_probe' | ForEach-Object { ($f[$_] = "$dir\$_.exe") })
        $f
    })
    $golden, $batch, $groupsFile, $record = "$Source\tests\data\help.golden",
        "$Source\examples\share-path.cmd", "$Source\tests\driver\groups.txt",
        "$Source\tests\data\verinfo.expected"
    @($files.Needed) + @($golden, $batch, $groupsFile, $record) |
        Where-Object { -not (Test-Path -LiteralPath $_) } | ForEach-Object { throw "missing $_" }
    Add-Type Api -Namespace Kit -UsingNamespace System.Text -MemberDefinition @'
[DllImport("mpr.dll", CharSet = CharSet.Unicode)]
public static extern int WNetGetConnectionW(string local, StringBuilder remote, ref int size);
[DllImport("mpr.dll")] public static extern int WNetCancelConnection2A(string n, int f, bool x);
[StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)]
public class NetResource {
    public int Scope, Type, DisplayType, Usage;
    public string LocalName, RemoteName, Comment, Provider;
}
[DllImport("mpr.dll", CharSet = CharSet.Unicode)]
public static extern int WNetAddConnection2W(NetResource resource, string password, string user,
    int flags);
[DllImport("kernel32")] public static extern int QueryDosDeviceA(string d, StringBuilder t, int z);
[DllImport("advapi32.dll")] public static extern bool GetTokenInformation(IntPtr token, int c,
    out int info, int size, out int returned);
[DllImport("kernel32.dll", CharSet = CharSet.Unicode, SetLastError = true)]
static extern bool CreateProcessW(string app, IntPtr line, IntPtr a, IntPtr b, bool inherit,
    int flags, IntPtr env, IntPtr dir, byte[] startup, [In, Out] IntPtr[] process);
[DllImport("kernel32.dll", SetLastError = true)]
static extern bool GetProcessInformation(IntPtr process, int c, [In, Out] int[] info, int size);
[DllImport("kernel32.dll")] static extern bool TerminateProcess(IntPtr process, int status);
// The machine Windows runs a program as, asked of it started suspended (CREATE_SUSPENDED).
public static int ProcessMachine(string exe) {
    var startup = new byte[104];
    startup[0] = (byte)(IntPtr.Size == 8 ? 104 : 68);  // STARTUPINFOW.cb
    var process = new IntPtr[4];
    var info = new int[2];  // PROCESS_MACHINE_INFORMATION, of ProcessMachineTypeInfo (9)
    var none = IntPtr.Zero;
    if (!CreateProcessW(exe, none, none, none, false, 4, none, none, startup, process)) {
        throw new System.ComponentModel.Win32Exception();
    }
    try {
        if (GetProcessInformation(process[0], 9, info, 8)) return info[0] & 0xFFFF;
        throw new System.ComponentModel.Win32Exception();
    } finally {
        TerminateProcess(process[0], 1);
    }
}
'@

    Step 'Pre-flight: who runs this, the logon sessions, the connections already there'
    $type = $got = 0
    [void][Kit.Api]::GetTokenInformation($identity.Token, 18, [ref]$type, 4, [ref]$got)
    $integrity = [regex]::Match((Invoke-Native whoami @('/groups')).Text, 'S-1-16-\d+')
    $token = "TokenElevationType $type (2: elevated), integrity $integrity (S-1-16-12288: high)"
    Summary $token
    foreach ($c in @('whoami', '/logonid'), @('klist', 'sessions'), @('net', 'use')) {
        Write-Host "  $c`: $(Invoke-ForLog { "status $((Invoke-Native $c[0] $c[1]).Status)" })"
    }

    Step 'Checking that the drive letters are free'
    $used = [IO.Directory]::GetLogicalDrives() | ForEach-Object { $_.Substring(0, 1) }
    Write-Host "in use: $used"
    $taken = $drives | Where-Object { $used -contains $_.L -or (Test-Path "HKCU:\Network\$($_.L)") }
    $taken | Where-Object L -ne 'c' | ForEach-Object { throw "$($_.L): is taken" }
    $disk = (New-Object IO.DriveInfo 'C').DriveType
    if ($disk -ne 'Fixed') { Set-NotMade $letter.c "C: is no local disk: DriveType $disk" }
    $page = $ansi.CodePage
    if ($page -ne 1252) { Set-NotMade $shares[2] "ANSI code page $page cannot hold its name" }
    if (Test-Path -LiteralPath $root) { throw "$root exists already" }
    [void][IO.Directory]::CreateDirectory($root)
    $made.root = $true

    # The server and the shares need elevation; without it the rest still runs.
    $serverReason = if (-not $elevated) { "not elevated: $token" }
    if ($elevated) {
        Step 'Starting the file server (LanmanServer)'
        try {
            Set-Service LanmanServer -StartupType Manual  # in case it is disabled
            Start-Service LanmanServer
            Write-Host "LanmanServer: $(Invoke-ForLog { (Get-Service LanmanServer).Status })"
        } catch { $serverReason = "LanmanServer cannot start: $($_.Exception.Message)" }
    }

    # Everyone by its SID: a localized Windows names it otherwise.
    Step 'Making the shares, full access for Everyone'
    $everyone = ([Security.Principal.SecurityIdentifier]'S-1-1-0').Translate(
        [Security.Principal.NTAccount]).Value
    foreach ($s in $shares | Where-Object { -not $_.Why }) {
        try {
            if ($serverReason) { throw $serverReason }
            [void][IO.Directory]::CreateDirectory($s.Path)
            New-SmbShare -Name $s.Name -Path $s.Path -FullAccess $everyone | Out-Null
            $s.Made = $true
            Write-Host "share '$($s.Name)' on $($s.Path)"
        } catch { Set-NotMade $s "share cannot be made: $($_.Exception.Message)" }
    }

    # Through the API, which never prompts: as this user, then as a throwaway account, each to
    # \\localhost and \\127.0.0.1 (as long, so the sizes hold; Windows refuses a second identity
    # to one server name, 1219). net use is not tried: it may wait for a password nobody types.
    Step 'Mapping the network drives'
    foreach ($d in $drives | Where-Object { $_.Share }) {
        if ($d.Share.Why) {
            Set-NotMade $d $d.Share.Why
            continue
        }
        $refused = @()
        foreach ($way in 'self', 'account' | ForEach-Object { "$_ localhost", "$_ 127.0.0.1" }) {
            $d.Remote = "\\$($way -replace '^\S+ ')\$($d.Share.Name)$($d.Sub)"
            $answer = Invoke-ForLog { Connect $d ($way -replace ' .*') }
            Write-Host "$way $($d.L): $($d.Remote), $($ansi.GetByteCount($d.Remote)) bytes: $answer"
            if ($d.Mapped = $answer -match '^status 0\b') { break }
            $refused += "$way`: $answer"
        }
        $d.Refused = $refused -join '; '
        if ($d.Mapped -or $d.Remember) { continue }
        Write-Host "  Get-SmbConnection:$(Invoke-ForLog { Get-SmbConnection | Out-String })"
        Set-NotMade $d "Windows refused this name every way: $($d.Refused)"
    }

    # WNetCancelConnection2 without CONNECT_UPDATE_PROFILE keeps the profile's entry, which answers
    # 1201 (remembered, unavailable), or 1203 where a provider has no network (WebDAV client off).
    # Written by hand only where Windows would not, and so marked; Windows may not read it (2250).
    Step 'R: remembered by Windows, its live connection dropped'
    $d = $letter.r
    $made.remembered = -not $d.Why
    $why = if (-not $d.Mapped) { "Windows would not map it: $($d.Refused)" }
    elseif ($status = [Kit.Api]::WNetCancelConnection2A('R:', 0, $true)) {
        "WNetCancelConnection2A gave $status"
    } elseif (-not (Test-Path 'HKCU:\Network\R')) { 'Windows wrote no HKCU:\Network\R' }
    $d.Mapped = $false
    if ($why -and $made.remembered) {
        Summary "- R: written by hand: ``$why``"
        $values = @{ RemotePath = $d.Remote; ProviderName = 'Microsoft Windows Network'
            ProviderType = 0x20000; ConnectionType = 1; UserName = '' }
        [void](New-Item 'HKCU:\Network\R' -Force)
        $values.Keys | ForEach-Object { Set-ItemProperty 'HKCU:\Network\R' $_ $values[$_] }
    }
    $d.Remote += " (remembered by $(if ($why) { "hand: $why" } else { 'Windows' }), not connected)"

    Step "subst T: $root\subst"
    [void][IO.Directory]::CreateDirectory("$root\subst")
    $r = Invoke-Native subst @('T:', "$root\subst")
    $made.subst = $r.Status -eq 0
    if (-not $made.subst) { Set-NotMade $letter.t "subst gave status $($r.Status): $($r.Text)" }

    # All logged. W must name a mapped drive as mapped, with case, else the drive is skipped; A
    # with 255 bytes, from each file's own machine, W's name where mapcue prints a path and a
    # failure where not (r: 1201 or 1203), else the file's row is skipped. The control rests on k:.
    Step "What WNetGetConnectionW and each file's WNetGetConnectionA (naive_lookup.exe) answer"
    Summary "### Windows' own answers: W, then A with 255 bytes by each file's naive_lookup.exe"
    foreach ($d in $drives) {
        $l = "$($d.L):"
        $said = $l
        try {
            $size = 32768
            $wide = New-Object System.Text.StringBuilder $size
            $w = [Kit.Api]::WNetGetConnectionW($l, $wide, [ref]$size)
            $d.Wide = "$wide"
            $said += " W: status $w [$wide]"
            $ok = -not $d.Mapped -or ($w -eq 0 -and $d.Wide -ceq $d.Remote -and
                (-not $d.Bytes -or $ansi.GetByteCount($d.Wide) -eq $d.Bytes))
            if ($d.L -eq 't') {  # the subst drive, there and pointing at its folder
                $target = New-Object System.Text.StringBuilder 32768
                [void][Kit.Api]::QueryDosDeviceA('T:', $target, 32768)
                $listed = [IO.Directory]::GetLogicalDrives() -contains 'T:\'
                $said += "; QueryDosDevice [$target]; in GetLogicalDrives: $listed"
                $ok = $ok -and $listed -and "$target" -ceq "\??\$root\subst"
            }
            if (-not $ok) { Set-NotMade $d "not what was set up: $said" }
            $answers = foreach ($f in $files) {
                $p = Invoke-Naive $f $l
                $said += "; A $($f.Arch): $($p.Said)"
                $holds = (-not $d.Raw -or $d.Raw -contains $p.Status) -and ($p.Status -eq 0) -eq
                    ($d.Status -eq 0) -and ($d.Status -or $p.Text -ceq $d.Wide)
                if (-not ($holds -or $d.Why)) {
                    $f.Why[$d.L] = "A gave $($p.Said)"
                    Skip "$($f.Name) ${l}: A gave $($p.Said)"
                }
                if ($d.Bytes -gt 254) { $said += "; 4095: $((Invoke-Naive $f "$l 4095").Said)" }
                if ($d.L -eq 'k') {
                    $f.Control = Invoke-Naive $f 'k: 256'
                    $said += "; 256: $($f.Control.Said)"
                }
                $p.Said
            }
            if (@($answers | Select-Object -Unique).Count -gt 1) {
                Summary "- **Finding**: the machines' WNetGetConnectionA differ on ${l}"
            }
        } catch { Set-NotMade $d "error: $($_.Exception.Message); $said" }
        Summary "- ``$said``"
    }

    foreach ($f in $files) {
        $f.Table = "$root\drives-$($f.Arch).txt"
        $rows = foreach ($d in $drives) {
            $why = Get-Why $f $d.L
            $answer = if ($why) { "~`t$($why -replace '[\s#]+', ' ')" }
            elseif ($d.Status) { "1`t$($d.Remote)" } else { "0`t$($d.Wide)" }
            "$($d.L)`t$answer"
        }
        # The code page's bytes alone: where it is UTF-8 (65001), WriteAllText would put a BOM.
        [IO.File]::WriteAllBytes($f.Table, $ansi.GetBytes(($rows -join "`n") + "`n"))
        Summary "### Drive table of $($f.Name) (letter, answer, remote name or reason)", '```'
        Summary ($rows + '```')
        $unproven = (Get-Skips $f 'j', 'k') -join '; '
        if ($unproven) { Summary "**The 255-byte boundary not proven for $($f.Name)**: $unproven" }
    }

    $groups = @(Get-Content $groupsFile | % { ($_ -replace '#.*' -split ' ')[0] } | ? { $_ })
    if ($groups.Count -eq 0) { throw "no groups in $groupsFile" }
    # The control asks only what every machine's A showed: 256 bytes take k:'s 255 and its zero.
    $controlWhy = @($files | Where-Object { $_.Control.Size -ne 'status 0, 255 bytes' } |
        ForEach-Object { "$($_.Arch): A with 256 bytes on k: gave $($_.Control.Said)" }) -join '; '
    foreach ($f in $files) {
        $name = $f.Name
        $before = $count.Clone()
        Step "The machine of ${name}: its PE header, and the process Windows makes of it"
        $bytes = [IO.File]::ReadAllBytes($f.Exe)
        $want = $machines[$f.Arch]
        $header = [BitConverter]::ToUInt16($bytes, [BitConverter]::ToInt32($bytes, 0x3C) + 4)
        $process = Invoke-ForLog { [Kit.Api]::ProcessMachine($f.Exe) }  # Windows 11, Server 2025
        $shown = if ($process -is [int]) { '0x{0:X4}' -f $process } else { $process }
        $says = '{0}: PE machine 0x{1:X4}, as a process {2}, listed for {3} (0x{4:X4})' -f $name,
            $header, $shown, $f.Arch, $want
        Summary $says
        # Required of the ARM64 file alone: it runs natively, not emulated. The others' is logged.
        $f.Native = if ($f.Arch -ne 'arm64') { '-' } elseif ($process -isnot [int]) {
            "skipped: $says"
        } elseif ($process -ne $want) { "failed: $says" } else { 'proven' }
        if ($header -ne $want -or $f.Native -match '^failed') { Fail "machine of $says" }
        else { $count.passed++ }
        if ($f.Native -match '^skipped') { Skip "native start not shown: $says" }

        Step "The version record of $name, as Windows reads it (verinfo.exe)"
        $r = Invoke-Native $f.verinfo @($f.Exe, $record)  # it expects the file's own name
        if ($r.Status -eq 0) { $count.passed++ }
        else { Fail "version record of ${name}: verinfo status $($r.Status)" }
        # 1: the record differs, a failure of mapcue's; it ran.
        $f.Counts['version record'] = @([int]($r.Status -eq 0), [int]($r.Status -eq 1), 0)
        $groupRows += "| $name version record | $($f.Counts['version record'] -join ' | ') |"

        foreach ($g in $groups) {
            Step "$name, group $g"
            $r = Invoke-Native $f.e2e @($g, $f.Exe, $f.Table, $golden, $batch)
            $r.Lines -match '^skip |: skipped' | ForEach-Object { Skip "$name ${g}: $_" 0 }
            $failures += @($r.Lines -match '^FAIL ' | ForEach-Object { "$name ${g}: $_" })
            if ($g -eq 'names') { $f.NameFails = $r.Lines -match '^FAIL ' }
            if ($r.Lines -match '^FAIL control: ') {
                Fail -Kit "$name ${g}: a sink the driver's control can write to"
            }
            if ($r.Closing -notmatch "^$g`: (\d+) passed, (\d+) failed(, (\d+) skipped)?$") {
                Fail "$name group ${g}: no closing line (driver status $($r.Status))"
                continue
            }
            $n = [int]$Matches[1], [int]$Matches[2], [int]$Matches[4]
            $count.passed += $n[0]
            $count.failed += $n[1]
            $count.skipped += $n[2]
            $f.Counts[$g] = $n
            $groupRows += "| $name $g | $($n -join ' | ') |"
            if ($r.Status -and -not $n[1]) { Fail "$name group ${g}: driver status $($r.Status)" }
        }

        Step "The negative control beside ${name}: 256 bytes handed over, caught on k: and K: alone"
        $why = @((Get-Why $f 'k'), $controlWhy) | Where-Object { $_ } | Select-Object -First 1
        if ($why) { Skip "$name control: $why" }
        else {
            $lookup, $names = 'lookup', 'names' | ForEach-Object {
                Invoke-Native $f.e2e @($_, $f.buffer_control, $f.Table, $golden, $batch) }
            $caught = $lookup.Closing -match '^lookup: [1-9]\d* passed, 0 failed' -and
                $names.Closing -match '^names: \d+ passed, 2 failed' -and
                @($names.Lines -match '^FAIL name \[[kK]:\] of 2: status 0 ').Count -eq 2
            $closings = "$($lookup.Closing); $($names.Closing)"
            if (-not $caught) { Fail -Kit "the control beside $name was not caught: $closings" }
            $groupRows += "| $name control, on k: K: alone | $(+$caught) | $(+!$caught) | 0 |"
        }
        foreach ($k in 'passed', 'failed', 'skipped') { $f[$k] = $count[$k] - $before[$k] }
    }
} catch {
    Fail -Kit "stopped: $($_.Exception.Message)"
    Write-Host $_.InvocationInfo.PositionMessage
} finally {
    Step 'Removing what the run made'
    foreach ($d in $drives | Where-Object { $_.Mapped }) {
        Undo "$($d.L):" { Invoke-Native net @('use', "$($d.L):", '/delete', '/y') -Check }
    }
    if ($made.subst) { Undo 'T:' { Invoke-Native subst @('T:', '/d') -Check } }
    # CONNECT_UPDATE_PROFILE removes a remembered connection; a hand-written key goes by hand.
    if ($made.remembered) {
        Undo 'the remembered R:' {
            Write-Host "WNetCancelConnection2A R: $([Kit.Api]::WNetCancelConnection2A('R:', 1, 1))"
            if (Test-Path 'HKCU:\Network\R') { Remove-Item 'HKCU:\Network\R' -Recurse }
        }
    }
    $shares | Where-Object Made | ForEach-Object { Undo $_.Name { Remove-SmbShare $_.Name -Force } }
    $computer = [ADSI]"WinNT://$env:COMPUTERNAME,computer"
    if ($made.account) { Undo $made.account { $computer.Delete('User', $made.account) } }
    if ($made.root) { Undo $root { Remove-Item -LiteralPath $root -Recurse -Force } }
}
# A run that skipped too much has proven nothing, however many cases passed: per file, n:, c:,
# q:, the version record and these groups must have run.
$floorGroups = 'version record', 'help', 'bytes', 'raw', 'planted', 'batch'
$floor = foreach ($f in $files) {
    $ran = $floorGroups | Where-Object { $f.Counts[$_] -and $f.Counts[$_][0] + $f.Counts[$_][1] }
    $f.Floor = @(Get-Skips $f 'n', 'c', 'q') + @($floorGroups | Where-Object { $_ -notin $ran })
    $f.Floor | ForEach-Object { "$($f.Name) $_" }
}
if ($floor) { Fail -Kit "below the floor: $($floor -join '; ')" }
$closing = "$($count.passed) passed, $($count.failed) failed, $($count.skipped) skipped"
$status, $verdict = if ($kit) { 2, "the kit could not get ready or cannot be trusted: $kit" }
elseif ($count.failed) { 1, 'a mapcue case failed' } else { 0, 'everything required passed' }
Write-Host "`n$closing`nexit ${status}: $verdict"
Summary "### exit ${status}: $verdict", "**$closing**", '', '| group | passed | failed | skipped |'
Summary (@('|---|--:|--:|--:|') + $groupRows + "### Failed (first 40 of $($failures.Count))")
Summary (@('```') + @($failures | Select-Object -First 40) + '```')
# For the release notes: what each file proved on this image.
$report = @{ image = "$env:ImageOS $env:ImageVersion".Trim(); files = @(foreach ($f in $files) {
    $floorSaid = if ($f.Floor) { "not held: $($f.Floor -join '; ')" } else { 'held' }
    [ordered]@{ file = $f.Name; floor = $floorSaid; boundary = Get-Proof $f 'j', 'k'
        remembered = Get-Proof $f 'r'; native = "$($f.Native)"; passed = [int]$f.passed
        failed = [int]$f.failed; skipped = [int]$f.skipped }
}) }
if (-not $report.image) { $report.image = $image }
if ($Results) {
    [void][IO.Directory]::CreateDirectory((Split-Path $Results))
    [IO.File]::WriteAllText($Results, (ConvertTo-Json $report -Depth 3))
}
exit $status
