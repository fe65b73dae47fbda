#!/bin/sh
# The layers include one way only: app and headless -> core/control ->
# core/metrics -> core/program and core/scpi -> core/record -> core/supply ->
# core/serial -> core/protocol (the script server and the programmed run
# use the supply alone; the trend's data logic, core/trend, sits above the
# recording for the trend window alone), and nothing in the core includes a
# widget, picture or chart header.
root=$1
status=0
forbid() {
    folder=$1
    pattern=$2
    if grep -rnE "#include [\"<]($pattern)" "$root/$folder"; then
        echo "$folder includes what it must not: $pattern" >&2
        status=1
    fi
}
forbid core/protocol 'serial/|supply/|record/|trend/|program/|scpi/|metrics/|control/|app/|headless/'
forbid core/serial 'supply/|record/|trend/|program/|scpi/|metrics/|control/|app/|headless/'
forbid core/supply 'record/|trend/|program/|scpi/|metrics/|control/|app/|headless/'
forbid core/record 'trend/|program/|scpi/|metrics/|control/|app/|headless/'
forbid core/trend 'program/|scpi/|metrics/|control/|app/|headless/'
forbid core/program 'trend/|scpi/|metrics/|control/|app/|headless/'
forbid core/scpi 'record/|trend/|program/|metrics/|control/|app/|headless/'
forbid core/metrics 'trend/|control/|app/|headless/'
forbid core/control 'trend/|app/|headless/'
forbid headless 'app/|Qt(Widgets|Gui|Charts)|Q(Widget|Application)\b'
forbid core 'Qt(Widgets|Gui|Charts)|Q(Widget|Label|Painter|Pixmap|Icon|Image|Color|Font|Chart)\b'
exit $status
