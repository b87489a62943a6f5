#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into seeds/<target>/.

The text seeds repeat the fixtures of the parsers' unit tests. The BIOS seeds are the
simulator's images of the default scenario (qvsim-bios from a main build, given with
--qvsim-bios) cut into the record layout of support/bios_image.h. The controller session seed
of fuzz_qvbmc_system is the simulator's answers to one discovery, written by
tools/record_controller_session.cpp when its binary is given with --recorder.
"""
import argparse
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

DEV_HEADER = ("Inter-|   Receive                                                |  Transmit\n"
              " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n")
DEV_LINES = ("    lo: 100 2 0 0 0 0 0 0 100 2 0 0 0 0 0 0\n"
             "  eth0: 1000 10 3 0 0 0 0 0 2000 20 4 0 0 0 0 0\n"
             "  ppp0: 5 5 5 0 0 0 0 0 5 5 5 0 0 0 0 0\n"
             "  eth1:7000 70 8 0 0 0 0 0 9000 90 12 0 0 0 0 0\n"
             "  eth0: 1 1 1 0 0 0 0 0 1 1 1 0 0 0 0 0\n"
             "  eth2: 99999999999 1 0 0 0 0 0 0 4294967295 4294967296 0 0 0 0 0 0\n")

TEXT_SEEDS = {
    "fuzz_oid": [".1.3.6.1.4.1.7244.1.2\n.1.3.6.1.4.1.7244.1.2.1",
                 ".1.3.6.1.4.1.4294967295.0\n.1.3.6.1.4.1.4294967296", ".1.3.\n.1.3.0", "1.3\n.",
                 "." + ".1" * 130 + "\n.1.3"],
    "fuzz_pass_args": [b"\x00-g\x00.1.3.6.1.4.1.7244.1.1.0", b"\x01-n\x00.1.3.6.1",
                       b"\x00-s\x00.1.3.6.1.4.1.7244.1.2.0\x00integer\x00-5",
                       b"\x04-s\x00.1.3.6.1.4.1.7244.1.2.0\x00gauge\x00-1",
                       b"\x02-s\x00.1.3.6.1\x00string\x00hello world",
                       b"\x03-s\x00.1.3.6.1\x00string\x00two\x00words\x00more",
                       b"\x00-s\x00.1.3.6.1\x00octet\x0000 ff 7a 1",
                       b"\x00-s\x00.1.3.6.1\x00ipaddress\x00192.168.1.300",
                       b"\x00-s\x00.1.3.6.1\x00objectid\x00.1.3.6",
                       b"\x00-s\x00.1.3.6.1\x00timeticks\x004294967295",
                       b"\x00-s\x00.1.3.6.1\x00counter\x00abc", b"\x00-x\x00.1"],
    "fuzz_profile": [b"\x20A\x00Poll\x007\x00[A]\nPoll=5\n", b"\x05A\x00x\x00long value\x00[A]\nx=\"abcdefgh\"\n",
                     b"\x40A\x00x\x001\x00[A] ; note\nx=1\n[B]\r\nx=2\r\n", b"\x01a\x00x\x00v\x00x[A]\nx=1\n",
                     b"\xffA\x00Poll\x00 5\x00[A]\n  Poll = 5\n\n[A]\nPoll=6"],
    "fuzz_registry": [b"\x10SOFTWARE\\Quorvane\\Trivoke=SpuNum\x007\x00\r\n[SOFTWARE\\Quorvane\\Trivoke]\r\nSpuNum=b(4)37000000\r\n",
                      b"\x03K=V\x00ab\x00[K]\r\nV=b(2)ab1F\r\n",
                      b"\x40K=V\x00\x01\x02\x00[K]\r\nVx=c(1)a\r\nV=c(1)b\r\n[L]\r\nV=c(1)b\r\n",
                      b"\x08K=V\x00text\x00[K]\r\nV=c(10)abc",
                      b"\x20K\\Sub=Name\x00\xff\xfe\x00[K]\r\nV=c4)abcd\r\n[K\\Sub]\r\nName=b(2)fffe\r\n"],
    "fuzz_proc_net_dev": [DEV_HEADER + DEV_LINES, DEV_HEADER, "eth0: 1 2 3\n",
                          DEV_HEADER + "  eth9: 18446744073709551616 -1 x\n"],
    "fuzz_nic_modules": [b"\x00alias eth0 tulip\nalias eth0\nalias eth1 e100\n\x00tulip 40000 1\n\x00"
                         b"eth0 hwaddr=00:60:b0:0a:1b:2c io=0x1000 irq=11 dma=0 mem=0xfebff000 flags=4419\n\x00"
                         b"2.2.14-5.0\n",
                         b"\x01alias eth0 missing\n\x00\x00eth1 hwaddr=zz\n\x002.4\n"],
    "fuzz_swa_list": [b"qvrevscand\x00MNGSW\nqvrevscand  scanning service\nqvclimated\n*\n"
                      b"AGENTS qvrevagent\n  qvclimateagent *\nSCSI\naic7xxx.o  adapter\n\nsym53c8xx.o\n*\n"
                      b"DAC\nmegaraid.o\n* end\nNIC\ne100.o\neepro100.o",
                      b"qvb\x00x AGENTS qva qvb", b"\x00 MNGSW\r\nqva\r\n* \nSCSI \t\r\n a.o\r\n"],
    "fuzz_rev_records": [b"\x02qvrevagent;52410;101 3 14 17 2 300;4;1;A.01.02;Agent;",
                         b"\x04qvx;;101 3 14;4;2;A.01;Daemon;",
                         b"\x06QV Velkarn SNMP Agents,,,,1,A.01.02,3/14/2001 17:02,1",
                         b"\x02aic7xxx.o,1234,9/9/2001 01:46,4,2,1234 9/9/2001 01:46,3/15/2001 08:05,3",
                         b"\x05a-very-long-module-name.o,5,1/2/2003 04:05:06.0,4,3,2.4.2,",
                         b"\x01System BIOS,1,1.00.07,System BIOS", b"\x00m.o,,,,"],
    "fuzz_prefail_store": [b"[SOFTWARE\\Quorvane\\Trivoke\\DataMark]\r\nnItems=b(4)02000000\r\n"
                           b"Items=b(32)0C6F00033412A005070000000403020107E80302FF0000006400000000000000\r\n",
                           b"[SOFTWARE\\Quorvane\\Trivoke\\DataMark]\r\nnItems=b(4)01000000\r\n"
                           b"Items=b(15)0CE7003412A0050900000001000000\r\n",
                           b"[SOFTWARE\\Quorvane\\Trivoke\\DataMark]\r\nnItems=b(4)FFFFFF7F\r\n"
                           b"Items=b(16)0C6F0003000000050100000000000000\r\n"],
    "fuzz_trap_destinations": ["localhost public 162\n# comment\nbeta  private\n  # not a comment\n"
                               "delta public 0\ndelta public 70000\n   \r\n10.0.0.7 public 65535\n",
                               "-oops public 162\nhost;rm community 1\n"],
}


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data.encode("latin-1") if isinstance(data, str) else data)


def sparse_records(window, base=0xE0000):
    """Runs of non-zero bytes (gaps under 16 bytes kept) as [offset:3][length:2][bytes]."""
    out, i = b"", 0
    while i < len(window):
        if window[i] == 0:
            i += 1
            continue
        start = end = i
        while end < len(window) and window[end:end + 16].strip(b"\0"):
            end += 1
        end = len(window[:end].rstrip(b"\0"))
        out += struct.pack("<I", start)[:3] + struct.pack("<H", end - start) + window[start:end]
        i = end
    return out


def bios_seeds(qvsim_bios):
    with tempfile.TemporaryDirectory() as tmp:
        for fmt in ("smbios21", "dmi20", "dmi10"):
            for model in (None, "37"):
                image = os.path.join(tmp, fmt + ".img")
                cmd = [qvsim_bios, "--format", fmt, "--scenario",
                       os.path.join(ROOT, "sim", "scenarios", "default.json")]
                if model:
                    cmd += ["--model", model]
                subprocess.run(cmd + [image], check=True)
                with open(image, "rb") as f:
                    seed = sparse_records(f.read()[0xE0000:0x100000])
                name = fmt + ("-model" + model if model else "") + ".bin"
                write("fuzz_identify", name, seed)
                write("fuzz_dmi_" + fmt, name, seed)
                write("fuzz_dmi_" + fmt, name.replace(".bin", "-odd.bin"), seed + b"\0")


def mgmtctl_seeds():
    # Selector, four argument bytes, then replies [flags][length][retcode LE][answer...].
    def reply(answer, retcode=0):
        body = struct.pack("<H", retcode) + answer
        return bytes([0, len(body)]) + body
    write("fuzz_mgmtctl", "device-id", bytes([6, 0, 0, 0, 0]) + reply(bytes([0x1C, 0x01, 0, 0x20, 1, 2, 3, 0x51, 0x1F])))
    write("fuzz_mgmtctl", "get-sdr", bytes([39, 0, 0xFF, 1, 0]) + reply(bytes([0x2C, 0x23, 0, 2, 0]) + bytes(range(29))))
    write("fuzz_mgmtctl", "sel-entry", bytes([48, 0, 16, 0, 0]) + reply(bytes([0x2C, 0x43, 0, 0xFF, 0xFF]) + bytes(range(16))))
    write("fuzz_mgmtctl", "reserve-retry", bytes([46, 0, 0, 0, 0]) + reply(bytes([0x2C, 0x42, 0xC5])) * 3 + reply(bytes([0x2C, 0x42, 0, 7, 0])))
    write("fuzz_mgmtctl", "fru-read", bytes([57, 0, 20, 0, 0]) + reply(bytes([0x2C, 0x11, 0, 20]) + bytes(20)))
    write("fuzz_mgmtctl", "version", bytes([0, 0, 0, 0, 0, 0, 12]) + b"QVMMC\0A\x01\x02\0\0\0")
    write("fuzz_mgmtctl", "failed-ioctl", bytes([4, 0, 0, 0, 0, 1, 0]))


def seal(area):
    area[-1] = (-sum(area[:-1])) & 0xFF
    return area


def qvbmc_seeds():
    # The FRU image of the unit tests: header, chassis area, board area with a date.
    image = seal([0x01, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00])
    chassis = seal([0x01, 0x01, 0x11, 0x02, 0xAB, 0x01, 0xC1, 0x00])
    board = seal([0x01, 0x02, 0x19, 0x01, 0x00, 0x00, 0xC2, ord("Q"), ord("V"), 0xC0, 0xC0, 0xC0,
                  0xC1, 0x00, 0x00, 0x00])
    write("fuzz_fru_data", "unit-test-image", bytes(image + chassis + board))
    write("fuzz_fru_data", "bad-header", bytes([0x01, 0x00, 0x01, 0x02, 0, 0, 0, 0x33]) + bytes(chassis))
    # Full sensor records (1.0 and 0.9): header, then M, B, R/K and format bytes in place.
    for version, name in ((0x01, "sdr10"), (0x10, "sdr09")):
        record = bytearray(64)
        record[0:5] = bytes([1, 0, version, 1, 59])
        record[20] = 0x80                       # two's complement
        record[24:30] = bytes([2, 0, 50, 0, 0, 0x10])
        write("fuzz_sdr_conversion", name, bytes(record) + struct.pack("<d", 30.0))
    # A controller that answers Get Device ID and then nothing.
    def reply(answer):
        body = struct.pack("<H", 0) + answer
        return bytes([0, len(body)]) + body
    write("fuzz_qvbmc_system", "device-id",
          reply(bytes([0x1C, 0x01, 0, 0x20, 1, 2, 3, 0x51, 0x1F, 0x57, 0x01, 0x00, 0x10, 0x00])))
    write("fuzz_qvbmc_system", "device-id-09", reply(bytes([0x1C, 0x01, 0, 0x20, 1, 2, 3, 0x09, 0x1F])))


def devsock_seeds():
    write("fuzz_devsock_codec", "request", struct.pack("<5I", 0x53445651, 2, 1, 64, 3) + b"\x18\x01\x00")
    write("fuzz_devsock_codec", "reply", struct.pack("<IiiI", 0x53445651, 0, 0, 4) + b"\0\0\x1c\x01")


def bmccache_seeds():
    # [reply FIFO name field][request block][flags][sensor record][reading]
    def message(name, op, package=0, unit=0, cb=64):
        return name.ljust(27, b"\0")[:27] + struct.pack("<8I", op, 0, cb, package, unit, 0, 0, 0)
    name = b"/var/qvserver/pipe.ret00042"
    record = bytearray(64)
    record[0:5] = bytes([0x34, 0x12, 0x01, 1, 48])
    write("fuzz_bmccache_request", "system", message(name, 1) + b"\x0a")
    write("fuzz_bmccache_request", "package", message(name, 2))
    write("fuzz_bmccache_request", "reading", message(name, 11, cb=20) + b"\0" + bytes(record) + bytes(range(24)))
    write("fuzz_bmccache_request", "record10", message(name, 12) + b"\0" + bytes(record))
    record[2] = 0x10
    record[3] = 2
    write("fuzz_bmccache_request", "record09", message(b"/var/qvserver/pipe.reta0zz9", 12) + b"\0" + bytes(record))
    write("fuzz_bmccache_request", "bad-name", message(b"/var/qvserver/pipe.ret../x", 12, unit=1) + b"\x01")


def climate_seeds():
    # Datagrams as [sender bit 7, length bits 0-3][bytes]: fields are 4-byte integers.
    def fields(*values, sender=0):
        return b"".join(bytes([sender | 4]) + struct.pack("<i", v) for v in values)
    write("fuzz_climate_request", "count", fields(1, 1))
    write("fuzz_climate_request", "chassis", fields(28))
    write("fuzz_climate_request", "reading", fields(31, 1, 0))
    write("fuzz_climate_request", "interleaved", fields(26, 3) + fields(1, sender=0x80) + fields(0, 26)
          + fields(2, sender=0x80))
    write("fuzz_climate_request", "odd-lengths", b"\x03abc" + fields(1) + b"\x85abcde" + b"\x00" + fields(5))


def cage_seeds():
    # Datagrams as [sender bit 7][length, 2 bytes][bytes]: integers and texts with their NUL.
    def fields(*values, sender=0):
        return b"".join(bytes([sender]) + struct.pack("<H", 4) + struct.pack("<i", v) for v in values)

    def text(t, sender=0):
        return bytes([sender]) + struct.pack("<H", len(t)) + t

    write("fuzz_cage_request", "block-and-drives", fields(3) + fields(5) + fields(7, 1) + fields(10, 2, 1)
          + fields(9, 2) + fields(6, -1))
    write("fuzz_cage_request", "texts", fields(30) + text(b"http://proxy:3128\0") + fields(29)
          + fields(26) + text(b"u" * 600) + fields(25) + fields(32, 0x6B736156) + fields(31))
    write("fuzz_cage_request", "interleaved", fields(26) + fields(1, sender=0x80) + text(b"ftp://h/x\0")
          + fields(24) + fields(99) + fields(10, 1))


def diskbus_seeds():
    # fuzz_raid_config: [product data status][data area]: a 40-drive configuration with one RAID 5
    # drive over four disks of channel 0 (devices packed as target | channel << 4).
    record = bytearray(584)
    record[0:8] = bytes([1, 5, 0, 0, 2, 0, 0, 4])
    record[8:16] = struct.pack("<II", 0, 1000)
    for k in range(4):
        record[16 + 2 * k + 1] = k
    product = bytearray(256)
    product[8:12] = b"b\x011H"
    product[40:52] = b"QV Stratavol"
    write("fuzz_raid_config", "config40", b"\x00" + bytes([1, 0, 0, 0]) + bytes(record))
    write("fuzz_raid_config", "product40", b"\x00" + bytes(product))
    write("fuzz_raid_config", "enquiry8", b"\x01" + bytes([2, 0, 0, 0]) + bytes(record[:104]))
    # fuzz_inquiry: [status][host][driver][sense written][32 sense bytes][data]
    inquiry = bytearray(96)
    inquiry[0:5] = bytes([0, 0, 2, 2, 91])
    inquiry[8:36] = b"SEAGATE ST39204LC       0005"
    sense = bytes([0x70, 0, 2, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x02]) + bytes(18)
    write("fuzz_inquiry", "disk", bytes([0, 0, 0, 0]) + bytes(32) + bytes(inquiry))
    write("fuzz_inquiry", "short", bytes([0, 0, 0, 0]) + bytes(32) + bytes(inquiry[:5]))
    write("fuzz_inquiry", "check-condition", bytes([2, 0, 8, 18]) + sense)
    # fuzz_log_pages: replies in command order, each [status][sense length][sense][data length
    # (2 bytes, little-endian)][data].
    def reply(data=b"", status=0, sense_bytes=b""):
        return bytes([status, len(sense_bytes)]) + sense_bytes + struct.pack("<H", len(data)) + data
    supported = bytes([0, 0, 0, 4, 0x00, 0x10, 0x2F, 0x32])
    smart = bytes([0x2F, 0, 0, 8, 0, 0, 0, 4, 0x5D, 0x10, 38, 0])
    results = bytearray(404)
    results[0:4] = bytes([0x10, 0, 1, 0x90])
    results[4:24] = bytes([0, 1, 3, 20, 0x21, 0, 0x10, 0xE1]) + bytes(12)
    area = bytes([0x32, 0, 0, 0xCC, 0, 0, 1, 0xC8]) + bytes(range(200))
    progress = bytes([0x70, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x09, 0, 0x80, 0x40, 0x00])
    control = bytes([0, 0, 0, 0, 0x0A, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x08])
    mode_page0 = bytes([23, 0, 0, 0, 0x80, 18]) + bytes(12) + bytes([0x08, 0x04, 0, 0])
    write("fuzz_log_pages", "drive", reply(supported) + reply(smart) + reply(bytes(inquiry)) + reply(supported)
          + reply(bytes(inquiry)) + reply(supported) + reply(bytes(inquiry)) + reply(supported)
          + reply(area) * 3 + reply(bytes(results)) * 3 + reply(progress) + reply(control)
          + reply(bytes(inquiry)) + reply() + reply() * 24 + reply() + reply(bytes(512))
          + reply(mode_page0) + reply() + reply())
    write("fuzz_log_pages", "check-condition", reply(supported) + reply(status=2, sense_bytes=bytes([0x70, 0, 1, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x5D, 0x10]))
          + reply(bytes(inquiry)) + reply(bytes([0, 0, 0x40, 0]) + bytes(16)))
    # fuzz_mount_table: /etc/mtab
    write("fuzz_mount_table", "mtab", b"/dev/sda /data ext2 rw 0 0\nproc /proc proc rw 0 0\n/dev/sdb /raid ext2 rw 0 0\n"
          b"/dev/sda /home ext2 rw 0 0\nshort\n" + b"/dev/sdc /" + b"x" * 300 + b" ext2 rw 0 0\n")
    # fuzz_ext_defs: QVExtDef.txt
    write("fuzz_ext_defs", "defs", b"S136 0x613\nF3XY 0x5\n  0x1 skipped\nH0 017\nLY 12\nnothing here\n\tD80J 0x0\n")


def safte_seeds():
    # fuzz_safte_buffers: [length][INQUIRY][length][buffer 0][length][buffer 1][buffer 4]
    def enclosure(product, fans, supplies, slots, inserted):
        inquiry = bytearray(96)
        inquiry[0:5] = bytes([3, 0, 2, 2, 91])
        inquiry[8:32] = b"QVENCL  " + product.ljust(16)[:16]
        inquiry[44:50] = b"SAF-TE"
        config = bytearray(64)
        config[0:3] = bytes([fans, supplies, slots])
        handled = min(slots, 32)
        status = bytes(fans + supplies) + bytes(range(handled)) + bytes(80)
        slot_status = b"".join(bytes([1 if i < inserted else 0, 0, 0, 1 if i < inserted else 0]) for i in range(slots))
        return (bytes([len(inquiry)]) + bytes(inquiry) + bytes([len(config)]) + bytes(config)
                + bytes([min(len(status), 255)]) + status[:255] + slot_status)
    write("fuzz_safte_buffers", "four-slots", enclosure(b"BACKPLANE", 2, 1, 4, 2))
    write("fuzz_safte_buffers", "forty-slots", enclosure(b"SAFTE; U160/M BP", 0, 0, 40, 20))
    write("fuzz_safte_buffers", "short-status", enclosure(b"gem318", 9, 9, 16, 16)[:150])


def volcap_seeds():
    # fuzz_volcap_files: a mode byte (0 stand-in NUL mount table, 1 names, 2 state, 3 history),
    # then the file.
    write("fuzz_volcap_files", "mount_table", b"\x00device /dev/sda1 0x801\nmount / 0x801 512 2047 0\n\x00"
          b"/dev/sda1 / ext2 rw 0 0\nnone /proc proc rw 0 0\nlonely\n")
    write("fuzz_volcap_files", "history", b"\x03[/]\nHistLastEntry=3\nHistOverflow=1\n0=100 10 1\n3=103 10 4\n"
          b"400=500 10 5\n1=-5 10 2\n")
    # A damaged status once made the append compute the slot after the largest int.
    write("fuzz_volcap_files", "history-damaged-status", b"\x03[/]\nHistLastEntry=88888888880\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qvsim-bios", default=os.path.join(ROOT, "build", "sim", "biosimage", "qvsim-bios"))
    parser.add_argument("--recorder", help="record_controller_session binary (optional)")
    args = parser.parse_args()
    for target, seeds in TEXT_SEEDS.items():
        for n, seed in enumerate(seeds):
            write(target, "seed%02d" % n, seed)
    mgmtctl_seeds()
    devsock_seeds()
    bmccache_seeds()
    climate_seeds()
    cage_seeds()
    diskbus_seeds()
    safte_seeds()
    volcap_seeds()
    qvbmc_seeds()
    bios_seeds(args.qvsim_bios)
    if args.recorder:
        folder = os.path.join(HERE, "seeds", "fuzz_qvbmc_system")
        subprocess.run([args.recorder, os.path.join(ROOT, "sim", "scenarios", "default.json"),
                        os.path.join(folder, "default-scenario-session")], check=True)


if __name__ == "__main__":
    main()
