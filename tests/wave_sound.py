"""A sound for the folder tests, written by Python's wave module: mono, 16 bits, a sawtooth."""
import struct
import wave


def sound(path, seconds=0.5, rate=8000):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", (i * 37) % 2000 - 1000) for i in range(int(rate * seconds))))
