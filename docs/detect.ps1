param([switch]$Block)
# Detection of Tarnwick's removal, for deployment tools that read a script's output (Intune's custom
# detection script counts an app as present only when the script exits 0 and prints something).
# Runs Tarnwick.exe /check (with -Block, /check /block: the controls' kill bits must be set too)
# and waits for it; where it exits 0 (no trace of the controls is left) or 3010 (only files that go
# when Windows next starts are left), prints a line: the removal counts as done. Anything else
# prints nothing: a trace stays (1), or another removal is under way (1618) and the tool will be
# run again. Intune passes no arguments: for an install command with /block, make the first line
# param([switch]$Block = $true).
# Where the install command put it: a folder only administrators can write to, so that no user
# can plant a program that this script, running as SYSTEM, would start.
$tool = Join-Path $env:SystemRoot 'Tarnwick.exe'
$arguments = '/check'
if ($Block) {
    $arguments = '/check /block'
}

$check = Start-Process -FilePath $tool -ArgumentList $arguments -Wait -PassThru
if ($check.ExitCode -eq 0) {
    Write-Output 'Tarnwick: no trace of the controls is left'
} elseif ($check.ExitCode -eq 3010) {
    Write-Output 'Tarnwick: the controls go when Windows next starts'
}
exit 0
