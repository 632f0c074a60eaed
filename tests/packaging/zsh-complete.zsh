# zsh-complete.zsh COMPLETION_DIR WORK_DIR OUT LINE
# Types LINE and a Tab into an interactive zsh on a pseudo-terminal, with the
# completion from COMPLETION_DIR loaded, and writes each match offered to OUT,
# one a line, then "<done>" once the completion has run.
zmodload zsh/zpty || exit 2
dir=$1 work=$2 out=$3 line=$4
: >|$out
zpty session zsh -f -i
zpty -w session "cd ${(q)work}; PS1=''; fpath=(${(q)dir} \$fpath)"
zpty -w session "autoload -Uz compinit; compinit -u -D"
# Every match reaches the list through compadd; -A collects the ones that fit
# what was typed without adding them, then the real call adds them.
zpty -w session "compadd() { local -a m; builtin compadd -A m \"\$@\"; print -rl -- \$m >>${(q)out}; builtin compadd \"\$@\" }"
zpty -w session "finished() { print -r -- '<done>' >>${(q)out} }; comppostfuncs=(finished)"
zpty -w session "zstyle ':completion:*' menu no"
zpty -w -n session "$line"$'\t'
# Waits for the marker, giving up after 20 s on a machine under load.
for _ in {1..200}; do
  grep -qx '<done>' $out 2>/dev/null && break
  sleep 0.1
done
zpty -d session
grep -qx '<done>' $out
