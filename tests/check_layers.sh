#!/bin/sh
# The layers include one way only: app -> core/trend -> core/record ->
# core/supply -> core/serial -> core/protocol, and nothing in the core
# includes a widget, picture or chart header.
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
forbid core/protocol 'serial/|supply/|record/|trend/|app/'
forbid core/serial 'supply/|record/|trend/|app/'
forbid core/supply 'record/|trend/|app/'
forbid core/record 'trend/|app/'
forbid core/trend 'app/'
forbid core 'Qt(Widgets|Gui|Charts)|Q(Widget|Label|Painter|Pixmap|Icon|Image|Color|Font|Chart)\b'
exit $status
