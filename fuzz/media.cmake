# The WAVE and MIDI readers under test are compat's; on Windows the replay would only drive
# the system's own devices, so it replays natively only.
set(replay_native_only ON)
