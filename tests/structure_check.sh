#!/usr/bin/env bash
# The layering of src/: a file's layer is its path (a file under a window/ folder is a window file,
# every other file is core). Fails when a core file includes a window file or a widgets header,
# when a widgets header appears outside window/ folders, or when the includes between
# (folder, layer) pairs form a loop; and when a thread_local holds anything but a plain value
# (the MinGW runtime frees such storage before running destructors: a thread's end would crash).
set -uo pipefail
cd "$(dirname "$0")/../src" || exit 2
status=0

unit() { # src-relative path -> "folder/layer"
  local path=$1 folder=${1%%/*} layer=core
  [[ $path == */window/* ]] && layer=window
  echo "$folder/$layer"
}

widgets='#include[[:space:]]*<(Q(Abstract[A-Za-z]*|Action|ActionGroup|Application|BoxLayout|ButtonGroup|CheckBox|ColorDialog|ComboBox|Dialog|DialogButtonBox|FileDialog|Frame|GridLayout|GroupBox|HBoxLayout|HeaderView|Label|LineEdit|ListWidget|MainWindow|Menu|MenuBar|MessageBox|PlainTextEdit|PushButton|RadioButton|ScrollArea|ScrollBar|SpinBox|Splitter|StatusBar|Style|TabBar|TableView|TableWidget|TabWidget|TextEdit|ToolTip|TreeWidget|VBoxLayout|Widget|Painter|Pixmap|Image|Icon|Color|Font|FontMetrics|Palette|Screen|KeyEvent|MouseEvent|GuiApplication|Desktop[A-Za-z]*)|QtWidgets/.*|QtGui/.*)>'

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
  from=$(unit "$file")
  if [[ $from == */core ]] && grep -qE "$widgets" "$file"; then
    echo "core file uses widgets: src/$file"
    status=1
  fi
  while IFS= read -r inc; do
    [ -f "$inc" ] || continue
    to=$(unit "$inc")
    if [[ $from == */core && $to == */window ]]; then
      echo "core file includes a window file: src/$file -> src/$inc"
      status=1
    fi
    [ "$from" != "$to" ] && echo "$from $to" >>"$edges"
  done < <(sed -nE 's/^[[:space:]]*#include[[:space:]]*"([^"]+)".*/\1/p' "$file")
done < <(find . -name '*.cpp' -o -name '*.h' | sed 's#^\./##' | grep -v '^app/main\.cpp$')

plain='thread_local[[:space:]]+(const[[:space:]]+)?((bool|char|int|unsigned|q(u)?int(8|16|32|64)|std::u?int(8|16|32|64)_t|std::size_t)[[:space:]]|[A-Za-z_:<>, ]+[[:space:]]*\*)'
while IFS= read -r line; do
  echo "a thread_local that holds more than a plain value: src/$line"
  status=1
done < <(grep -rnE 'thread_local' --include='*.cpp' --include='*.h' . | sed 's#^\./##' |
           grep -vE "^[^:]+:[0-9]+:[[:space:]]*//" | grep -vE "$plain")

if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
  echo "includes between folders form a loop:"
  grep -v '^tsort: -:' "$edges.loop" | sed 's/^tsort: /  /'
  status=1
fi
rm -f "$edges.loop"
[ $status -eq 0 ] && echo "layering holds: $(sort -u "$edges" | wc -l) dependencies between folders, no loop"
exit $status
