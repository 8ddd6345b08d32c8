# The profile reader under test is compat's; on Windows the replay would only drive the
# system's own profile functions (and, under Wine, slowly), so it replays natively only.
set(replay_native_only ON)
