#!/usr/bin/env python3
"""Writes the seed corpus of both fuzz targets: the frame format's worked
examples and the replies the camera (and the virtual camera) send, alone
and, for the window, inside short programs of operations."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))


def frame(group, code, payload=b"", size=64, checksum=True):
    body = bytearray(size)
    body[0:3] = b"\x11\x22\x33"
    body[3], body[4], body[5] = group, code, len(payload)
    body[7:7 + len(payload)] = payload[: max(0, size - 8)]
    if checksum:
        body[size - 1] = sum(body[: size - 1]) & 0xFF
    return bytes(body)


def request(group, code, payload=b""):
    return frame(group, code, payload, checksum=False)


REPLIES = {
    "get_mode_ack_1": frame(0x20, 0xB1, b"\x01"),
    "get_mode_ack_5": frame(0x20, 0xB1, b"\x05"),
    "set_mode_ack": frame(0x20, 0x97, b"\x00"),
    "version_ack": frame(0x20, 0x07, b"V1.0.3"),
    "uvc_name_ack": frame(0x20, 0xC7, b"Conference Camera"),
    "audio_levels_ack": frame(0x20, 0xD1, bytes(range(10, 20))),
    "start_ack_ok": frame(0x22, 0x01, b"\x00"),
    "start_ack_refused": frame(0x22, 0x01, b"\x05"),
    "complete_ack_ok": frame(0x22, 0x03, b"\x00"),
    "complete_ack_bad": frame(0x22, 0x03, b"\x01"),
    "progress_50": frame(0x22, 0x04, b"\x32"),
    "progress_100": frame(0x22, 0x04, b"\x64"),
    "progress_150": frame(0x22, 0x04, b"\x96"),
    "length_57": frame(0x20, 0x07, b"A" * 56)[:5] + b"\x39" + frame(0x20, 0x07, b"A" * 56)[6:],
    "length_58": frame(0x20, 0x07)[:5] + b"\x3a" + frame(0x20, 0x07)[6:],
    "seven_bytes": frame(0x20, 0x07, b"", size=7),
    "short_mode_ack": frame(0x20, 0xB1, b"\x02", size=9),
    "bad_checksum_mode": frame(0x20, 0xB1, b"\x02")[:63] + b"\x00",
    "bad_header": b"\x11\x22\x34" + frame(0x20, 0xB1, b"\x01")[3:],
    "group_21": frame(0x21, 0x05),
    "preamble_group": frame(0x27, 0x00),
}

REQUESTS = {
    "req_set_mode_2": request(0x20, 0x96, b"\x02"),
    "req_upgrade_start_1m": request(0x22, 0x00, b"\x00\x10\x00\x00"),
    "req_preamble": request(0x27, 0x00),
    "req_complete": request(0x22, 0x02, b"\x02"),
}


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as out:
        out.write(data)


# Window programs: see fuzz_window.cpp for the operations.
CAMERA, UPD_IDLE, AWAITING, UPLOADING, DEVICE_PHASE = range(5)
POLL, DRAIN, FIRE_ACK, UPLOAD_TICK, REFRESH, WATCH = 0x90, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4
DETACH, ATTACH_NORMAL, ATTACH_UPGRADE, READ_FAILS, FAIL_WRITES, VANISH, HOLD = range(0xA5, 0xAC)
APPLY, FULL, AUTO, VOICE, SMART, GET_VERSION, LPF, ENTER_UPD, START_UPD, PANEL = range(0xAC, 0xB6)


def raw(report):
    return bytes([len(report)]) + report if len(report) < 0x80 else b""


def program(start, *parts):
    out = bytearray([start])
    for part in parts:
        out += part if isinstance(part, (bytes, bytearray)) else bytes([part])
    return bytes(out)


def main():
    for name, data in {**REPLIES, **REQUESTS}.items():
        write("fuzz_frames", name, data)

    r = REPLIES
    programs = {
        "camera_mode_reply": program(CAMERA, raw(r["get_mode_ack_1"]), POLL),
        "camera_every_reply": program(CAMERA, raw(r["version_ack"]), raw(r["uvc_name_ack"]),
                                      raw(r["audio_levels_ack"]), raw(r["get_mode_ack_5"]), DRAIN),
        "camera_apply_with_box_held": program(CAMERA, SMART, APPLY, HOLD, 3, raw(r["set_mode_ack"]),
                                              raw(r["set_mode_ack"]), POLL, POLL, DRAIN),
        "camera_checks": program(CAMERA, raw(r["length_57"]), raw(r["length_58"]), raw(r["seven_bytes"]),
                                 raw(r["bad_checksum_mode"]), raw(r["bad_header"]), raw(r["group_21"]),
                                 raw(r["short_mode_ack"]), DRAIN),
        "camera_unplug_and_back": program(CAMERA, DETACH, WATCH, ATTACH_NORMAL, REFRESH, DRAIN, GET_VERSION, DRAIN),
        "camera_enter_upgrade": program(CAMERA, ENTER_UPD, WATCH, WATCH, DRAIN),
        "upgrade_idle_progress": program(UPD_IDLE, raw(r["progress_50"]), raw(r["progress_150"]), DRAIN),
        "awaiting_accept_and_finish": program(AWAITING, raw(r["start_ack_ok"]), POLL, UPLOAD_TICK,
                                              raw(r["complete_ack_ok"]), raw(r["progress_50"]),
                                              raw(r["progress_100"]), DRAIN),
        "awaiting_refused_then_timeout": program(AWAITING, raw(r["start_ack_refused"]), HOLD, 2, POLL,
                                                 FIRE_ACK, POLL),
        "awaiting_timeout_then_late_ack": program(AWAITING, FIRE_ACK, raw(r["start_ack_ok"]), POLL),
        "uploading_duplicate_ack": program(UPLOADING, raw(r["start_ack_ok"]), POLL, UPLOAD_TICK, DRAIN),
        "uploading_write_faults": program(UPLOADING, FAIL_WRITES, 3, UPLOAD_TICK, DRAIN),
        "uploading_vanish": program(UPLOADING, VANISH, 2, UPLOAD_TICK, WATCH, ATTACH_UPGRADE, WATCH,
                                    UPLOAD_TICK, DRAIN),
        "uploading_read_errors": program(UPLOADING, READ_FAILS, raw(r["progress_100"]), POLL, READ_FAILS, POLL),
        "device_phase_progress": program(DEVICE_PHASE, raw(r["complete_ack_bad"]), raw(r["progress_50"]),
                                         raw(r["progress_100"]), raw(r["progress_100"]), DRAIN),
        "device_phase_unplug": program(DEVICE_PHASE, DETACH, WATCH, POLL, ATTACH_NORMAL, WATCH, DRAIN),
    }
    for name, data in programs.items():
        write("fuzz_window", name, data)


if __name__ == "__main__":
    main()
