# Detection of Tarnwick's removal, for deployment tools that read a script's output (Intune's custom
# detection script counts an app as present only when the script exits 0 and prints something).
# Runs Tarnwick.exe /check and waits for it; where it exits 0 (no trace of the controls is left) or
# 3010 (only files that go when Windows next starts are left), prints a line: the removal counts as
# done. Anything else prints nothing: a trace stays (1), or another removal is under way (1618) and
# the tool will be run again.
# Where the install command put it: a folder only administrators can write to, so that no user
# can plant a program that this script, running as SYSTEM, would start.
$tool = Join-Path $env:SystemRoot 'Tarnwick.exe'

$check = Start-Process -FilePath $tool -ArgumentList '/check' -Wait -PassThru
if ($check.ExitCode -eq 0) {
    Write-Output 'Tarnwick: no trace of the controls is left'
} elseif ($check.ExitCode -eq 3010) {
    Write-Output 'Tarnwick: the controls go when Windows next starts'
}
exit 0
