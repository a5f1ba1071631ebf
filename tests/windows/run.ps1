# End to end on real Windows: maps real network drives, writes the drive table, runs every driver
# group on it and cross-checks the paths. Windows PowerShell 5.1, as administrator, one process.
# usage: powershell -NoProfile -ExecutionPolicy Bypass -File tests\windows\run.ps1 -Bin FOLDER_OF_EXES
param([Parameter(Mandatory = $true)][string]$Bin, [string]$Source)
$ErrorActionPreference = 'Stop'
if (-not $Source) { $Source = Split-Path (Split-Path $PSScriptRoot) }
$ansi = [System.Text.Encoding]::Default  # the code page mapcue's bytes are in
$passed = 0; $failed = 0; $skipped = 0
$madeRoot = $madeUser = $madeSubst = $madeRemembered = $madeNetworkKey = $false

function Step([string]$Text) { Write-Host "`n== $Text" }
function Fail([string]$Text) { $script:failed++; Write-Host "FAIL $Text" }
# Native tools answer through their status; their stderr must not become a terminating error.
function Invoke-Native([string]$Exe, [string[]]$ArgList) {
    $ErrorActionPreference = 'Continue'
    $lines = @(& $Exe @ArgList 2>&1 | ForEach-Object { "$_" })
    [pscustomobject]@{ Status = $LASTEXITCODE; Lines = $lines; Text = ($lines -join ' ').Trim() }
}
function Assert-Native([string]$Exe, [string[]]$ArgList) {
    $r = Invoke-Native $Exe $ArgList
    if ($r.Status -ne 0) { throw "$Exe $($ArgList[0]) gave status $($r.Status): $($r.Text)" }
}
# Output read in the ANSI code page, byte for byte, not in the console's OEM one.
function Invoke-Raw([string]$Exe, [string]$Arguments) {
    $info = New-Object System.Diagnostics.ProcessStartInfo -ArgumentList $Exe, $Arguments
    $info.UseShellExecute = $false; $info.RedirectStandardOutput = $true
    $info.StandardOutputEncoding = $ansi
    $process = [System.Diagnostics.Process]::Start($info)
    $text = $process.StandardOutput.ReadToEnd(); $process.WaitForExit()
    [pscustomobject]@{ Status = $process.ExitCode; Text = $text }
}
function Undo([string]$What, [scriptblock]$Action) {
    Write-Host "removing $What"
    try { & $Action } catch { Fail "cannot remove ${What}: $($_.Exception.Message)" }
}

$tag = 'mcq' + (Get-Random -Minimum 1000 -Maximum 10000)
$root = Join-Path $env:SystemDrive $tag; $user = $tag; $a = 'a' * 100
# A 64-character share name keeps the local folders of the 300-byte name within MAX_PATH.
$shares = @(
    @{ Name = $tag; Dir = 'p' }
    @{ Name = "$tag spaced share"; Dir = 's' }
    @{ Name = "${tag}_$([char]0xD6)ffentlich"; Dir = 'u' }
    @{ Name = "${tag}_" + 'L' * 56; Dir = 'l' }
)
# mapcue offers a 255-byte buffer, terminating zero included: k: and l: are not connected for it.
$drives = @(
    @{ L = 'm'; Share = $shares[0]; Sub = ''; Status = 0 }
    @{ L = 'n'; Share = $shares[0]; Sub = '\docs'; Status = 0 }
    @{ L = 's'; Share = $shares[1]; Sub = '\two words'; Status = 0 }
    @{ L = 'u'; Share = $shares[2]; Sub = "\B$([char]0xFC)cher$([char]0x20AC)"; Status = 0 }
    @{ L = 'j'; Share = $shares[3]; Sub = "\$a\" + 'b' * 76; Status = 0; Bytes = 254 }
    @{ L = 'k'; Share = $shares[3]; Sub = "\$a\" + 'b' * 77; Status = 1; Bytes = 255 }
    @{ L = 'l'; Share = $shares[3]; Sub = "\$a\" + 'c' * 122; Status = 1; Bytes = 300 }
    @{ L = 'r'; Status = 1; Remote = '\\nohost.invalid\share (remembered, unavailable)' }
    @{ L = 't'; Status = 1; Remote = "subst of $root\subst" }
    @{ L = 'c'; Status = 1; Remote = 'local disk' }
    @{ L = 'q'; Status = 1; Remote = 'free letter' }
    @{ L = 'h'; Status = 1; Remote = 'free letter' }
)
$letter = @{}; foreach ($d in $drives) { $letter[$d.L] = $d }

try {
    $me = New-Object System.Security.Principal.WindowsPrincipal ([System.Security.Principal.WindowsIdentity]::GetCurrent())
    if (-not $me.IsInRole([System.Security.Principal.WindowsBuiltInRole]::Administrator)) { throw 'not elevated' }
    $Bin = (Resolve-Path $Bin).Path
    $mapcue = "$Bin\mapcue.exe"; $e2e = "$Bin\e2e.exe"; $naive = "$Bin\naive_lookup.exe"
    $golden = "$Source\tests\data\help.golden"; $batch = "$Source\examples\share-path.cmd"
    $groupsFile = "$Source\tests\driver\groups.txt"
    foreach ($f in $mapcue, $e2e, $naive, $golden, $batch, $groupsFile) {
        if (-not (Test-Path -LiteralPath $f)) { throw "missing $f" }
    }

    Step 'Checking that the drive letters are free'
    $used = [System.IO.Directory]::GetLogicalDrives() | ForEach-Object { $_.Substring(0, 1) }
    Write-Host "in use: $used"
    foreach ($d in $drives | Where-Object { $_.L -ne 'c' }) {
        if ($used -contains $d.L -or (Test-Path "HKCU:\Network\$($d.L)")) { throw "$($d.L): is taken" }
    }
    if ((New-Object System.IO.DriveInfo 'C').DriveType -ne 'Fixed') { $letter.c.Skip = 'C: is no local disk' }
    $acp = (Get-ItemProperty 'HKLM:\SYSTEM\CurrentControlSet\Control\Nls\CodePage').ACP
    Write-Host "ANSI code page: $acp"
    if ($acp -ne '1252') { $shares[2].Reason = "skipped: ANSI code page is $acp" }
    if (Test-Path -LiteralPath $root) { throw "$root exists already" }
    [void][System.IO.Directory]::CreateDirectory($root); $madeRoot = $true

    Step 'Starting the file server (LanmanServer)'
    $serverReason = $null
    try {
        $service = Get-Service LanmanServer
        if ($service.StartType -eq 'Disabled') { Set-Service LanmanServer -StartupType Manual }
        Start-Service LanmanServer
        Write-Host "LanmanServer: $((Get-Service LanmanServer).Status)"
    } catch { $serverReason = "LanmanServer cannot start: $($_.Exception.Message)"; Write-Host $serverReason }

    Step "Creating the local user $user"
    # 14 characters: net user stops to ask about anything longer.
    $chars = 'abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789'
    $random = New-Object byte[] 11
    [System.Security.Cryptography.RandomNumberGenerator]::Create().GetBytes($random)
    $password = 'Aa9' + (($random | ForEach-Object { $chars[$_ % $chars.Length] }) -join '')
    $r = Invoke-Native net @('user', $user, $password, '/add')
    if ($r.Status -ne 0) { throw "net user /add gave status $($r.Status): $($r.Text)" }
    $madeUser = $true

    Step 'Making the shares'
    foreach ($s in $shares) {
        $s.Path = Join-Path $root $s.Dir
        if ($serverReason -and -not $s.Reason) { $s.Reason = $serverReason }
        if ($s.Reason) { Write-Host "share '$($s.Name)': $($s.Reason)"; continue }
        try {
            [void][System.IO.Directory]::CreateDirectory($s.Path)
            New-SmbShare -Name $s.Name -Path $s.Path -FullAccess "$env:COMPUTERNAME\$user" | Out-Null
            $s.Made = $true; Write-Host "share '$($s.Name)' on $($s.Path)"
        } catch { $s.Reason = "share cannot be made: $($_.Exception.Message)"; Write-Host $s.Reason }
    }

    Step 'Mapping the network drives'
    foreach ($d in $drives | Where-Object { $_.Share }) {
        $d.Remote = '\\localhost\' + $d.Share.Name + $d.Sub
        $size = $ansi.GetByteCount($d.Remote)
        if ($d.Bytes -and $size -ne $d.Bytes) { throw "$($d.L): would be $size bytes, not $($d.Bytes)" }
        if ($d.Share.Reason) { $d.Skip = $d.Share.Reason; continue }
        [void][System.IO.Directory]::CreateDirectory($d.Share.Path + $d.Sub)
        $account = "/user:$env:COMPUTERNAME\$user"
        Write-Host "net use $($d.L): $($d.Remote) $account <password> /persistent:no ($size bytes)"
        $r = Invoke-Native net @('use', "$($d.L):", $d.Remote, $account, $password, '/persistent:no')
        Write-Host "  status $($r.Status): $($r.Text)"
        if ($r.Status -eq 0) { $d.Mapped = $true; continue }
        $d.Skip = "net use refused this $size-byte name with status $($r.Status): $($r.Text)"
        if (-not $d.Bytes) { Fail "net use $($d.L): status $($r.Status)" }  # only long names may fail
    }

    Step 'Remembering an unavailable connection as R:'
    if (-not (Test-Path 'HKCU:\Network')) { New-Item 'HKCU:\Network' | Out-Null; $madeNetworkKey = $true }
    New-Item 'HKCU:\Network\R' | Out-Null; $madeRemembered = $true
    foreach ($v in @(@('RemotePath', '\\nohost.invalid\share', 'String'),
            @('ProviderName', 'Microsoft Windows Network', 'String'), @('ProviderType', 0x20000, 'DWord'),
            @('ConnectionType', 1, 'DWord'), @('UserName', '', 'String'))) {
        New-ItemProperty -Path 'HKCU:\Network\R' -Name $v[0] -Value $v[1] -PropertyType $v[2] | Out-Null
    }

    Step "subst T: $root\subst"
    [void][System.IO.Directory]::CreateDirectory("$root\subst")
    $r = Invoke-Native subst @('T:', "$root\subst")
    if ($r.Status -eq 0) { $madeSubst = $true } else { Fail "subst: $($r.Text)"; $letter.t.Skip = 'subst failed' }

    Step 'Drive table'
    $table = "$root\drives.txt"
    $rows = foreach ($d in $drives) {
        if (-not $d.Skip) { "$($d.L)`t$($d.Status)`t$($d.Remote)" } else {
            "$($d.L)`t-`t$($d.Skip -replace '[\s#]+', ' ')"
        }
    }
    [System.IO.File]::WriteAllText($table, ($rows -join "`n") + "`n", $ansi)
    $rows | ForEach-Object { Write-Host "  $_" }

    Step 'For information: what WNetGetConnectionA answers (naive_lookup.exe)'
    foreach ($d in $drives) {
        $p = Invoke-Raw $naive "$($d.L):"
        Write-Host ("  {0}: status {1}, {2} bytes [{3}]" -f $d.L, $p.Status, $ansi.GetByteCount($p.Text), $p.Text)
    }

    $groups = @(Get-Content $groupsFile | ForEach-Object { ($_ -replace '#.*').Trim() } | Where-Object { $_ } |
        ForEach-Object { ($_ -split '\s+')[0] })
    if ($groups.Count -eq 0) { Fail "no groups in $groupsFile" }
    foreach ($g in $groups) {
        Step "Group $g"
        $r = Invoke-Native $e2e @($g, $mapcue, $table, $golden, $batch)
        $r.Lines | ForEach-Object { Write-Host "  $_" }
        $last = @($r.Lines | ForEach-Object { $_.Trim() } | Where-Object { $_ })[-1]
        if ($last -match "^$([regex]::Escape($g)): (\d+) passed, (\d+) failed(, (\d+) skipped)?$") {
            $passed += [int]$Matches[1]; $failed += [int]$Matches[2]
            if ($Matches[4]) { $skipped += [int]$Matches[4] }
            if ($r.Status -ne 0 -and $Matches[2] -eq '0') { Fail "group ${g}: driver status $($r.Status)" }
        } else { Fail "group ${g}: no closing line (driver status $($r.Status))" }
    }

    Step 'Cross-check: mapcue against Get-SmbMapping'
    foreach ($d in $drives | Where-Object { $_.Share }) {
        if (-not $d.Mapped) { $skipped++; continue }
        try {
            $remote = (Get-SmbMapping -LocalPath "$($d.L.ToUpper()):").RemotePath
            $got = Invoke-Raw $mapcue "$($d.L):"
            $want = if ($d.Status -eq 0) { "$remote`r`n" } else { "ERROR_NOT_CONNECTED`r`n" }
            Write-Host "  $($d.L): Get-SmbMapping [$remote]; mapcue $($got.Status) [$($got.Text.TrimEnd())]"
            if ($remote -ceq $d.Remote -and $got.Status -eq $d.Status -and $got.Text -ceq $want) { $passed++ } else {
                Fail "cross-check $($d.L): want [$($d.Remote)] mapped, mapcue $($d.Status) [$($want.Trim())]"
            }
        } catch { Fail "cross-check $($d.L): $($_.Exception.Message)" }
    }
} catch {
    Fail "stopped: $($_.Exception.Message)"
    Write-Host $_.InvocationInfo.PositionMessage
} finally {
    Step 'Removing what the run made'
    foreach ($d in $drives | Where-Object { $_.Mapped }) {
        Undo "$($d.L):" { Assert-Native net @('use', "$($d.L):", '/delete', '/y') }
    }
    if ($madeSubst) { Undo 'T:' { Assert-Native subst @('T:', '/d') } }
    if ($madeRemembered) { Undo 'HKCU:\Network\R' { Remove-Item 'HKCU:\Network\R' -Recurse } }
    if ($madeNetworkKey) { Undo 'HKCU:\Network' { Remove-Item 'HKCU:\Network' } }
    foreach ($s in $shares | Where-Object { $_.Made }) {
        Undo "share $($s.Name)" { Remove-SmbShare -Name $s.Name -Force }
    }
    if ($madeUser) { Undo "user $user" { Assert-Native net @('user', $user, '/delete') } }
    if ($madeRoot) { Undo $root { Remove-Item -LiteralPath $root -Recurse -Force } }
}
Write-Host "`n$passed passed, $failed failed, $skipped skipped"
if ($failed -gt 0) { exit 1 }
exit 0
