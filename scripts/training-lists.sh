# The speech the default quantiser tables are trained on and measured on,
# as lists of paths; sourced by train-tables.sh and sd-against-bits.sh.
#
# Training: the voice prompts of Debian's asterisk-core-sounds-en-wav,
# -es-wav and -it-wav (8 kHz mono 16-bit WAV, CC-BY-SA-3.0;
# scripts/install-deps.sh installs them), every prompt but those of the
# silence/ folders (recorded silence, no speech), in the byte order of their
# paths. Held out: the French prompts of asterisk-core-sounds-fr-wav, never
# trained on.
#
# Reads $sounds (the sounds directory) and $subset (empty, or the number of
# prompts of each language to take); $script names the caller in messages.

prompts() {
  find "$sounds/$1" -name '*.wav' -not -path '*/silence/*' | LC_ALL=C sort
}

# Writes the training list into the file $1; fails with a message when a
# language is not installed.
write_training_list() {
  : > "$1"
  for language in en_US_f_Allison es_MX_f_Allison it_IT_m_Carlo; do
    if [ ! -d "$sounds/$language" ]; then
      echo "$script: $sounds/$language is missing: install the asterisk-core-sounds" \
        "packages (scripts/install-deps.sh)" >&2
      return 1
    fi
    if [ -n "$subset" ]; then
      prompts "$language" | head -n "$subset" >> "$1"
    else
      prompts "$language" >> "$1"
    fi
  done
}

# Writes the held-out list into the file $1; fails (quietly) when the
# French prompts are not installed.
write_held_out_list() {
  [ -d "$sounds/fr_CA_f_June" ] || return 1
  prompts fr_CA_f_June > "$1"
}
