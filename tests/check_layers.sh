#!/bin/sh
# The layers include one way only: app and headless -> core/remote ->
# core/control -> core/program -> core/record -> core/supply -> core/serial ->
# core/protocol; core/remote also uses core/metrics and core/scpi, which use
# what is below core/control (the script server uses the supply and the
# meter alone; the meter, core/meter, uses the supply alone; the
# trend's data logic, core/trend, sits above the recording for the trend
# window alone). Nothing in the core includes a widget, picture or chart
# header, and only the remote services reach the network.
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
forbid core/protocol 'serial/|supply/|meter/|record/|trend/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/serial 'supply/|meter/|record/|trend/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/supply 'meter/|record/|trend/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/meter 'protocol/|serial/|record/|trend/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/record 'meter/|trend/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/trend 'meter/|program/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/program 'meter/|trend/|scpi/|metrics/|control/|remote/|app/|headless/'
forbid core/scpi 'record/|trend/|program/|metrics/|control/|remote/|app/|headless/'
forbid core/metrics 'trend/|control/|remote/|app/|headless/'
forbid core/control 'trend/|scpi/|metrics/|remote/|app/|headless/'
forbid core/remote 'trend/|app/|headless/'
forbid headless 'app/|Qt(Widgets|Gui|Charts)|Q(Widget|Application)\b'
forbid core 'Qt(Widgets|Gui|Charts)|Q(Widget|Label|Painter|Pixmap|Icon|Image|Color|Font|Chart)\b'
exit $status
