# The resume cartridge passes on its own after 120 frames; the headless
# save-state tests rely on that.
corvel_cartridge_test(lifecycle_resume 200)
