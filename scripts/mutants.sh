#!/usr/bin/env bash
# Mutation check: proves the tests find real faults. Two sets of one-line faults are
# planted, one at a time, in src/ or tools/ of a scratch copy of the tree; the tier
# is rebuilt and its tests run. Failing tests catch the fault.
#
#   scripts/mutants.sh [--source DIR] [--scratch DIR] [--only ID[,ID...]] [--list]
#   scripts/mutants.sh --sample N [--seed S] [--source DIR] [--scratch DIR]
#
#   --source DIR   tree to check (default: the repo holding this script); its tracked
#                  files, uncommitted changes included, are copied to the scratch folder
#   --scratch DIR  the copy (default: DIR/build/mutants/src); results.txt lands beside it
#   --only IDS     only these faults of the table  --list  print the table and stop
#   --sample N     instead of the table, N faults drawn by scripts/mutant-sample.py from
#                  the lines of src/ and tools/ (seed S, default 1): each is run against
#                  the whole suite of every tree that compiles its file, native first
#   --keep-going   with --sample: do not stop a tier's tests at the first failure
#   --faults FILE  with --sample: the faults of FILE (lines of a run's candidates.tsv,
#                  such as the survivors of an earlier run) instead of a new draw
#   --shard K/M    with --sample: only the K-th of every M faults drawn, and N/M of them
#                  (rounded up), so that M runs with their own scratch folders share a
#                  sample; add up their "counts:" lines
#
# The table below is the regression set: faults chosen by hand, each with the tests
# meant to catch it. Tiers: native (ctest --preset native), win32 (Win32 unit tests
# under Wine) and e2e (end-to-end scenarios under Wine); the Win32 preset is mingw64
# where the tree defines it, else mingw, or $MUTANTS_WIN_PRESET. Every Wine run of a
# fault starts from fresh prefixes and HOME, copied from ones made before the first.
#
# A sampled fault listed in scripts/mutants-equivalent.txt (a reviewed list: the line,
# the fault, and why no user could tell) counts as equivalent and is not run; one that
# does not compile is invalid and another is drawn in its place. The score is caught
# out of caught + missed. Results: caught, missed, equivalent, invalid, stale (the
# line is not as recorded), baseline-fail (the tests fail without the fault). Exit 0
# when no fault is missed. The table takes 30-60 minutes; a sample of 100 about 90.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null

# id @ tier @ ctest regex @ file @ original text (exactly once in the file) @ replacement
FAULTS=$(cat <<'EOF'
text-room @ native @ ^text_tests$ @ src/text/bounded_text.cpp @ int room = capacity - 1 - length; @ int room = capacity - length;
codepage-1252 @ native @ ^text_tests$ @ src/platform/platform_posix.cpp @ (s[i] >= 0x80 && s[i] < 0xA0) @ (s[i] >= 0x80 && s[i] < 0x9F)
posix-errno @ native @ ^platform_tests$ @ src/platform/platform_posix.cpp @ S_ISDIR(st.st_mode)) return kErrorFileNotFound; @ S_ISDIR(st.st_mode)) return kErrorPathNotFound;
describe-version @ native @ ^text_tests$ @ src/text/product_description.cpp @ AppendNarrow(marker + sizeof(kMarker) - 1, @ AppendNarrow(marker + sizeof(kMarker),
language-bom @ native @ ^text_tests$ @ src/text/product_description.cpp @ for (uint32_t i = 2; i < n @ for (uint32_t i = 0; i < n
strings-blank @ native @ ^text_tests$ @ src/text/installer_texts.cpp @ {kTextInstalled, " wurde erfolgreich @ {kTextInstalled, "wurde erfolgreich
interface-swiss @ native @ ^text_tests$ @ src/text/string_tables.cpp @ case 0x0410: case 0x0810: @ case 0x0410:
format-shift @ native @ ^archive_tests$ @ src/archive/entry_format.h @ (static_cast<uint32_t>(p[1]) << 16) @ (static_cast<uint32_t>(p[1]) << 8)
format-text @ native @ ^setupkit_tests$ @ src/archive/entry_format.h @ kTextShift = 0x7F; @ kTextShift = 0x80;
format-number @ native @ ^(archive|setupkit)_tests$ @ src/archive/entry_format.h @ kNumberShift = 0x2D8A61C3u; @ kNumberShift = 0x2D8A61C2u;
locate-carry @ native @ ^archive_tests$ @ src/archive/payload_locator.cpp @ kLocatorCarry = kPayloadMagicSize; @ kLocatorCarry = kPayloadMagicSize - 1;
locate-start @ native @ ^archive_tests$ @ src/archive/payload_format.h @ kPayloadSearchStart = 89999; @ kPayloadSearchStart = 90000;
decode-short @ native @ ^archive_tests$ @ src/archive/decoder.cpp @ return status == LZMA_STATUS_FINISHED_WITH_MARK ? kDecodeOk : kDecodeErrorData; @ return kDecodeOk;
parse-checksum @ native @ ^archive_tests$ @ src/archive/entry_parser.cpp @ checksum += perByte + data[i]; @ checksum += perByte;
decide-filter @ native @ ^install_tests$ @ src/install/install_decisions.cpp @ checkOf(code, queryContext) == 1 @ checkOf(code, queryContext) != 2
decide-flatten @ native @ ^install_tests$ @ src/install/install_decisions.cpp @ const char16_t* file = name + FileNameOffset(name); @ const char16_t* file = name;
decide-main @ native @ ^install_tests$ @ src/install/install_decisions.cpp @ } else if (state->mainProgram[0] == 0 && IsMainProgramName(file)) { @ } else if (IsMainProgramName(file)) {
decide-main-case @ native @ ^install_tests$ @ src/install/install_decisions.cpp @ if (name[0] != u'E' && name[0] != u'e') return false; @ if (name[0] != u'E') return false;
extract-dotdot @ native @ ^setupkit_tests$ @ tools/setupkit/stored_text.cpp @ if (dots >= 2 && @ if (dots > 2 &&
pack-colon @ native @ ^setupkit_tests$ @ tools/setupkit/stored_text.cpp @ std::string("<>:\"|?*") @ std::string("<>\"|?*")
pack-signed @ native @ ^(archive|setupkit)_tests$ @ src/archive/pe_image.cpp @ kSecurityEntry = 4; @ kSecurityEntry = 5;
pack-order @ native @ ^setupkit_tests$ @ tools/setupkit/product_files.cpp @ return a.name < b.name; @ return a.source < b.source;
verify-exit @ native @ ^setupkit_tests$ @ tools/setupkit/exit_codes.h @ const int kExitBrokenPayload = 1; @ const int kExitBrokenPayload = 2;
usage-exit @ native @ ^setupkit_tests$ @ tools/setupkit/command_line.cpp @ return kExitFailure; @ return kExitBrokenPayload;
tree-one-letter @ native @ ^archive_tests$ @ src/archive/file_routines.cpp @ if (cut == 0 || (cut <= 3 && work[1] == u':')) return kTreeNotCreated; @ if (cut <= 3) return kTreeNotCreated;
extract-device @ native @ ^setupkit_tests$ @ tools/setupkit/stored_text.cpp @ if (IsWindowsDeviceName(component)) return @ if (false) return
extract-link @ native @ ^setupkit_tests$ @ tools/setupkit/inspector.cpp @ if (fs::is_symlink(status)) { @ if (false) {
extract-staging @ native @ ^setupkit_tests$ @ tools/setupkit/inspector.cpp @ if (*result <= 0 && problem.code != kExitSuccess) return problem; @ if (*result < 0 && false) return problem;
list-escape @ native @ ^setupkit_tests$ @ tools/setupkit/text_output.cpp @ } else if (c < 0x20 || c == 0x7F) { @ } else if (c < 0x20 && c == 0x7F) {
extract-replace @ native @ ^setupkit_tests$ @ tools/setupkit/inspector.cpp @ (folder / name).c_str(), RENAME_NOREPLACE); @ (folder / name).c_str(), 0);
list-uninstaller @ native @ ^setupkit_tests$ @ tools/setupkit/inspector.cpp @ check->copied = true; @ check->copied = false;
registry-type @ win32 @ ^shell_tests$ @ src/install/registry_text.cpp @ REG_SZ, reinterpret_cast @ REG_EXPAND_SZ, reinterpret_cast
uninstall-icon @ win32 @ ^shell_tests$ @ src/install/install_record.cpp @ JoinInstalledPath(state->destination, state->mainProgram, AddText @ JoinInstalledPath(state->destination, state->uninstaller, AddText
stored-root @ win32 @ ^shell_tests$ @ src/install/stored_destination.cpp @ RegCreateKeyExW(HKEY_CURRENT_USER, @ RegCreateKeyExW(HKEY_LOCAL_MACHINE,
sequence-store @ win32 @ ^shell_tests$ @ src/install/install_sequence.cpp @ StoreDestination(state->destination); @ // StoreDestination(state->destination);
sequence-path @ win32 @ ^shell_tests$ @ src/install/install_sequence.cpp @ if (result == 0) result = static_cast<int>(state.pathError); @ // path errors ignored
shortcut-folder @ win32 @ ^shell_tests$ @ src/install/shortcuts.cpp @ CreateShellLink(link, target, workingDirectory); @ CreateShellLink(link, target, target);
dialog-default @ win32 @ ^shell_tests$ @ src/install/install_decisions.cpp @ return PathExists(destination) ? 0 : 7; @ return PathExists(destination) ? 0 : 5;
list-builtin @ win32 @ ^shell_tests$ @ src/text/product_description.cpp @ if (code == LanguageCode4FromNarrow("US") || code == LanguageCode4FromNarrow("DE")) return true; @ if (code == LanguageCode4FromNarrow("US")) return true;
scan-duplicate @ win32 @ ^shell_tests$ @ src/shell/scan_handler.cpp @ if (list != nullptr && FindLanguageItem(list, code) < 0) @ if (list != nullptr)
uninstall-german @ e2e @ ^e2e_german$ @ src/uninstall/uninstall_texts.cpp @ {"DE", kRowsGerman} @ {"XX", kRowsGerman}
startup-language @ e2e @ ^e2e_english$ @ src/shell/startup.cpp @ SelectInterfaceLanguage(); @ // SelectInterfaceLanguage();
closer-broken @ e2e @ ^e2e_english$ @ src/shell/setup_dialog.cpp @ if (scan == 0) context->closer @ if (scan != 0) context->closer
broken-icon @ e2e @ ^e2e_english$ @ src/shell/setup_dialog.cpp @ context->modulePath, MB_ICONERROR); @ context->modulePath, MB_OK);
name-device @ native @ ^install_tests$ @ src/text/file_name_rules.cpp @ return IsDeviceName(name, length); @ return false;
name-trailing @ native @ ^install_tests$ @ src/text/file_name_rules.cpp @ name[length - 1] == u'.' || name[length - 1] == u' ') @ false)
decode-dictionary @ native @ ^archive_tests$ @ src/archive/decoder.cpp @ LimitDictionary(header); @ (void)LimitDictionary;
sequence-main-name @ win32 @ ^shell_tests$ @ src/install/install_sequence.cpp @ if (!IsUsableMainProgramName(state.mainProgram)) state.mainProgram[0] = 0; @ // main program as stored
scan-product-name @ win32 @ ^shell_tests$ @ src/install/install_record.cpp @ if (!IsUsableProductName(name)) productName[0] = 0; @ // product name as described
module-share @ e2e @ ^hardening_locked_installer$ @ src/platform/platform_win32.cpp @ GENERIC_READ, FILE_SHARE_READ, nullptr @ GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr
trailer-crc @ native @ ^setupkit_tests$ @ src/archive/uninstall_trailer.cpp @ if (TrailerChecksum(body, bodySize) != GetU32(footer + 12)) return kTrailerChecksum; @ if (TrailerChecksum(body, 0) == 1) return kTrailerChecksum;
trailer-aside @ native @ ^setupkit_tests$ @ tools/setupkit/uninstaller.cpp @ if (seen.insert(stored::FoldKey(setAside)).second) names->push_back(setAside); @ // no set-aside copy
uninst-links @ e2e @ ^e2e_uninstall$ @ src/uninstall/uninstall_run.cpp @ RemoveShortcuts(removal); @ // RemoveShortcuts(removal);
uninst-closer @ e2e @ ^e2e_uninstall$ @ src/uninstall/uninstall_run.cpp @ CloseProduct(removal->trailer.windowClass); @ // CloseProduct(removal->trailer.windowClass);
options-rest @ native @ ^install_tests$ @ src/install/setup_options.cpp @ p[2] == u'=' && p[3] != u'"'; @ p[2] == u'=' && false;
options-relative @ native @ ^install_tests$ @ src/install/setup_options.cpp @ IsFullyQualifiedPath(options->destination); @ true;
record-merge @ native @ ^install_tests$ @ src/install/folder_record.cpp @ if (slot == nullptr || *slot != 0) return; @ if (slot == nullptr) return;
version-numbers @ native @ ^install_tests$ @ src/install/folder_record.cpp @ if (x != y) return x > y ? 1 : -1; @ if (x != y) return x < y ? 1 : -1;
silent-exit @ e2e @ ^e2e_deploy$ @ src/shell/startup.cpp @ code = InstallExitCode(RunInstallChoices @ code = 0 * InstallExitCode(RunInstallChoices
entry-quoted @ e2e @ ^e2e_deploy$ @ src/install/install_record.cpp @ SetWide(u"\"", out, kPathUnits); @ SetWide(u"", out, kPathUnits);
uninst-record @ e2e @ ^e2e_upgrade$ @ src/uninstall/uninstall_run.cpp @ if (!TrailerListsName(&removal->trailer, wide)) RemoveListedFile(removal, wide); @ (void)wide;
uninst-self @ e2e @ ^e2e_uninstall$ @ src/uninstall/uninstall_run.cpp @ if (lstrcmpiW(AsWide(path), AsWide(removal->self)) == 0) return; @ // the program itself too
EOF
)

usage() { sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch="" only="" list=0 sample=0 seed=1 keep_going=0 shard=1/1 faults_file=""
while [ $# -gt 0 ]; do
  case $1 in
    --source) source_dir=$(cd "${2:?--source needs a folder}" && pwd) || exit 2; shift 2 ;;
    --scratch) scratch=${2:?--scratch needs a folder}; shift 2 ;;
    --only) only=${2:?--only needs fault ids}; shift 2 ;;
    --list) list=1; shift ;;
    --sample) sample=${2:?--sample needs a number}; shift 2 ;;
    --seed) seed=${2:?--seed needs a number}; shift 2 ;;
    --keep-going) keep_going=1; shift ;;
    --shard) shard=${2:?--shard needs K/M}; shift 2 ;;
    --faults) faults_file=$(readlink -f "${2:?--faults needs a file}"); shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "mutants: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[[ $sample =~ ^[0-9]+$ && $seed =~ ^[0-9]+$ ]] || { echo "mutants: --sample and --seed take whole numbers" >&2; exit 2; }
shard_k=${shard%/*} shard_m=${shard#*/}
[[ $shard_k =~ ^[1-9][0-9]*$ && $shard_m =~ ^[1-9][0-9]*$ && $shard_k -le $shard_m ]] ||
  { echo "mutants: --shard takes K/M with 1 <= K <= M, not $shard" >&2; exit 2; }

# The table as records split by \x1f; --only keeps the named faults.
faults=()
while IFS= read -r line; do
  id=${line%% @ *}
  [ -z "$only" ] || [[ ",$only," == *",$id,"* ]] || continue
  faults+=("${line// @ /$'\x1f'}")
done <<<"$FAULTS"
[ -z "$only" ] || [ "${#faults[@]}" -eq "$(tr ',' '\n' <<<"$only" | sort -u | wc -l)" ] ||
  { echo "mutants: --only $only names a fault the table lacks (see --list)" >&2; exit 2; }

if [ "$list" = 1 ]; then
  for f in "${faults[@]}"; do
    IFS=$'\x1f' read -r id tier regex file original replacement <<<"$f"
    printf '%-17s %-6s %-24s %s\n    - %s\n    + %s\n' "$id" "$tier" "$regex" "$file" "$original" "$replacement"
  done
  exit 0
fi

scratch=$(mkdir -p "${scratch:-$source_dir/build/mutants/src}" && cd "${scratch:-$source_dir/build/mutants/src}" && pwd)
work=$(dirname "$scratch")
results="$work/results.txt"
log="$work/mutants.log"
: >"$results" && : >"$log"
win=${MUTANTS_WIN_PRESET:-mingw}
[ -n "${MUTANTS_WIN_PRESET:-}" ] || ! grep -q '"name": *"mingw64"' "$source_dir/CMakePresets.json" || win=mingw64
started=$SECONDS
# Displays of their own, away from a `make test` beside it and from the other shards.
export SETUP_XVFB_FIRST=$((100 + 100 * shard_k))

# Copies what differs (a new mtime makes make rebuild it) and drops files no longer tracked.
echo "mutants: copying $source_dir to $scratch"
while IFS= read -r -d '' f; do
  [ -f "$source_dir/$f" ] && ! cmp -s "$source_dir/$f" "$scratch/$f" || continue
  mkdir -p "$scratch/$(dirname "$f")" && cp "$source_dir/$f" "$scratch/$f"
done < <(git -C "$source_dir" ls-files -z)
comm -23 <(cd "$scratch" && find . -path ./build -prune -o -type f -print | sed 's|^\./||' | sort) \
  <(git -C "$source_dir" -c core.quotePath=false ls-files | sort) | (cd "$scratch" && xargs -r -d '\n' rm -f)

build() { (cd "$scratch" && cmake --build --preset "$1" -j2) >>"$log" 2>&1; }
# A Win32 build packs its installers with the native setupkit, which must hold the fault too.
rebuild() {  # tier
  if [ "$1" = native ]; then build native; return; fi
  (cd "$scratch" && cmake --build --preset native -j2 --target setupkit) >>"$log" 2>&1 && build "$win"
}

# Fresh Wine state per run: the prefixes and HOME, copied from a set made once.
pristine="$work/wine-pristine"
state="$work/wine-state"
make_pristine() {
  local exe="$scratch/build/$win/tests/text_tests.exe" dpi
  rm -rf "$pristine"
  for dpi in "" 144 192; do
    SETUP_WINE_STATE=$pristine SETUP_WINE_DPI=$dpi bash "$scratch/scripts/wine-run.sh" "$exe" --gtest_list_tests \
      >>"$log" 2>&1 || return 1
  done
  (source "$scratch/scripts/wine-env.sh" && use_wine_for "$exe" && export HOME="$pristine/home" WINEDEBUG=-all &&
    bash "$scratch/scripts/wine-template.sh" "$pristine") >>"$log" 2>&1
}
fresh_state() {
  local prefix
  for prefix in "$state"/*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  done
  rm -rf "$state" && cp -a "$pristine" "$state"
}

run_tests() {  # tier regex
  local preset=native
  [ "$1" = native ] || { preset=$win; fresh_state; }
  (cd "$scratch" && SETUP_WINE_STATE=$state ctest --preset "$preset" -R "$2" --timeout 300 --no-tests=error) \
    >>"$log" 2>&1
}
# The whole suite of a tree, less the check that rebuilds the stub twice and compares the
# bytes: a planted fault is in both builds, so that check cannot see it.
run_suite() {  # native|win
  local preset=native extra=(-j2)
  [ "$1" = native ] || { preset=$win; extra=(-E '^hardening_reproducible_stub$'); fresh_state; }
  [ "$keep_going" = 1 ] || extra+=(--stop-on-failure)
  (cd "$scratch" && SETUP_WINE_STATE=$state ctest --preset "$preset" "${extra[@]}" --timeout 240) >>"$log" 2>&1
}

echo "mutants: building native and $win presets (log: $log)"
if ! { (cd "$scratch" && cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON &&
        cmake --preset "$win" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DSETUPKIT_NATIVE="$scratch/build/native/setupkit") \
    >>"$log" 2>&1 && build native && build "$win" && make_pristine; }; then
  echo "mutants: the unmutated tree does not build, or Wine cannot start; see $log" >&2
  exit 2
fi

backup="$work/original.bak"
planted=""
trap '[ -z "$planted" ] || cp "$backup" "$planted"' EXIT
caught=0 missed=0 other=0

if [ "$sample" -gt 0 ]; then
  candidates="$work/candidates.tsv"
  if [ -n "$faults_file" ]; then
    cp "$faults_file" "$candidates" || exit 2
  else
    python3 "$scratch/scripts/mutant-sample.py" "$scratch" --seed "$seed" \
      --native "$scratch/build/native/compile_commands.json" --win "$scratch/build/$win/compile_commands.json" \
      --equivalent "$scratch/scripts/mutants-equivalent.txt" >"$candidates" || exit 2
  fi
  for t in native win; do
    echo "mutants: baseline, the whole $t suite" && run_suite "$t" ||
      { echo "mutants: the $t tests fail without any fault; see $log" >&2; exit 2; }
  done
  counted=0 equivalent=0 invalid=0 survivors="" drawn=0
  share=$(( (sample + shard_m - 1) / shard_m ))
  while [ "$counted" -lt "$share" ] && IFS=$'\t' read -r -u 3 tier where kind original faulty listed; do
    drawn=$((drawn + 1))
    [ $(( (drawn - 1) % shard_m + 1 )) -eq "$shard_k" ] || continue
    file=${where%:*} number=${where##*:} path="$scratch/${where%:*}" start=$SECONDS
    mapfile -t text <"$path"
    if [ "$listed" = equivalent ]; then
      result=equivalent
    elif [ "${text[number - 1]}" != "$original" ]; then
      result=stale
    else
      cp "$path" "$backup" && planted=$path
      text[number - 1]=$faulty
      printf '%s\n' "${text[@]}" >"$path"
      echo "== $where $kind: $faulty" >>"$log"
      mark=$(wc -l <"$log")
      result=missed
      if [ "$tier" != win ] && ! build native; then
        result=invalid
      elif [ "$tier" != native ] && ! rebuild win; then
        # Compiling the planted line fails: invalid. Anything else (packing the tests'
        # installers with the faulty setupkit) is a failure the fault causes.
        tail -n +"$mark" "$log" | grep -q "${file##*/}:[0-9]*:[0-9]*: error" && result=invalid || result=caught
      elif [ "$tier" != win ] && ! run_suite native; then
        result=caught
      elif [ "$tier" != native ] && ! run_suite win; then
        result=caught
      fi
      cp "$backup" "$path" && planted=""
    fi
    case $result in
      caught) caught=$((caught + 1)) ;;
      missed) missed=$((missed + 1)); survivors+="  $where $kind"$'\n'"    - ${original#"${original%%[! ]*}"}"$'\n'"    + ${faulty#"${faulty%%[! ]*}"}"$'\n' ;;
      equivalent) equivalent=$((equivalent + 1)) ;;
      *) invalid=$((invalid + 1)) ;;
    esac
    [[ $result == @(caught|missed|equivalent) ]] && counted=$((counted + 1))
    printf '%-44s %-6s %-6s %-10s %4ds\n' "$where" "$kind" "$tier" "$result" $((SECONDS - start)) | tee -a "$results"
  done 3<"$candidates"
  score=$(awk -v c="$caught" -v m="$missed" 'BEGIN { printf "%.1f", c + m ? 100 * c / (c + m) : 100 }')
  {
    echo "counts: $caught caught, $missed missed, $equivalent equivalent, $invalid invalid"
    label="" && [ "$shard_m" -eq 1 ] || label=" shard $shard"
    echo "mutants: seed $seed$label, $counted faults: $caught caught, $missed missed, $equivalent equivalent" \
      "($invalid drawn more did not compile or were stale); score $score % of $((caught + missed));" \
      "$(( (SECONDS - started) / 60 )) min"
    [ -z "$survivors" ] || printf 'survivors:\n%s' "$survivors"
  } | tee -a "$results"
  [ "$missed" -eq 0 ]
  exit
fi

declare -A baseline
for f in "${faults[@]}"; do
  IFS=$'\x1f' read -r id tier regex file original replacement <<<"$f"
  key="$tier $regex"
  [ -z "${baseline[$key]:-}" ] || continue
  run_tests "$tier" "$regex" && baseline[$key]=pass || baseline[$key]=fail
  echo "mutants: baseline $key: ${baseline[$key]}"
done

for f in "${faults[@]}"; do
  IFS=$'\x1f' read -r id tier regex file original replacement <<<"$f"
  start=$SECONDS
  path="$scratch/$file"
  if [ "$(grep -oF -- "$original" "$path" 2>/dev/null | wc -l)" != 1 ]; then
    result=stale
  elif [ "${baseline[$tier $regex]}" = fail ]; then
    result=baseline-fail
  else
    cp "$path" "$backup" && planted=$path
    text=$(<"$path")
    printf '%s\n' "${text/"$original"/"$replacement"}" >"$path"
    echo "== $id: $file" >>"$log"
    if ! rebuild "$tier"; then
      result=invalid
    elif run_tests "$tier" "$regex"; then
      result=missed
    else
      result=caught
    fi
    # A plain copy gives the restored file a new mtime, so the next build compiles it again.
    cp "$backup" "$path" && planted=""
  fi
  case $result in caught) caught=$((caught + 1)) ;; missed) missed=$((missed + 1)) ;; *) other=$((other + 1)) ;; esac
  printf '%-17s %-6s %-38s %-13s %4ds\n' "$id" "$tier" "$file" "$result" $((SECONDS - start)) | tee -a "$results"
done
echo "mutants: $caught caught, $missed missed, $other other (of ${#faults[@]})" | tee -a "$results"
[ "$missed" -eq 0 ]
