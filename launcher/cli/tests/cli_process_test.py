#!/usr/bin/python3
"""ardmon-cli as fleet tools run it: two loads of different profiles at once
both arrive, the JSON on standard output parses whatever happened, and the
bash completion offers the commands and the folder's profiles.

cli_process_test.py ARDMON_CLI COMPLETION"""
import fcntl
import json
import os
import subprocess
import sys
import tempfile
import unittest

CLI, COMPLETION = sys.argv[1], sys.argv[2]


def make_desk(root):
    os.makedirs(os.path.join(root, "env"))
    for name, content in {
        "halvoclient.ini": "[Keep]\r\nx=1\r\n",
        "VovuvAvavar.exe": "",
        "env/A.ini": "[A]\r\n" + "".join(f"a{i}={i}\r\n" for i in range(200)),
        "env/B.ini": "[B]\r\n" + "".join(f"b{i}={i}\r\n" for i in range(200)),
        "env/notes.INI": "",
    }.items():
        with open(os.path.join(root, name), "w", newline="") as f:
            f.write(content)


class ArdmonCliProcess(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.desk = os.path.join(self.tmp.name, "desk")
        make_desk(self.desk)

    def tearDown(self):
        self.tmp.cleanup()

    def test_two_loads_at_once_both_arrive(self):
        client = os.path.join(self.desk, "halvoclient.ini")
        for round_ in range(10):
            with open(client, "w", newline="") as f:
                f.write("[Keep]\r\nx=1\r\n")
            loads = [subprocess.Popen([CLI, "--dir", self.desk, "load", p], stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE) for p in ("A.ini", "B.ini")]
            codes = [load.wait(timeout=60) for load in loads]
            for load in loads:
                load.stdout.close()
                load.stderr.close()
            self.assertEqual(codes, [0, 0], f"round {round_}")
            with open(client, newline="") as f:
                text = f.read()
            for line in ("[Keep]\r\nx=1\r\n", "[A]\r\n", "a199=199\r\n", "[B]\r\n", "b199=199\r\n"):
                self.assertIn(line, text, f"round {round_}")

    def test_a_load_kept_waiting_past_the_bound_changes_nothing_and_exits_5(self):
        client = os.path.join(self.desk, "halvoclient.ini")
        with open(client, "r+b") as held:
            # The update lock's byte, taken by "another load" for longer than the wait.
            fcntl.lockf(held, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, 1 << 62)
            run = subprocess.run([CLI, "--dir", self.desk, "load", "A.ini"], capture_output=True, text=True,
                                 timeout=60)
        self.assertEqual(run.returncode, 5, run.stderr)
        self.assertIn("halvoclient.ini is in use by another load", run.stderr)
        with open(client, newline="") as f:
            self.assertEqual(f.read(), "[Keep]\r\nx=1\r\n")

    def test_json_parses_and_messages_go_to_standard_error(self):
        cases = [
            (["list"], 0, ""),
            (["load", "nope.ini"], 3, "No profile found "),
            (["load", "A.ini", "--dry-run"], 0, ""),
            (["frobnicate"], 2, "ardmon-cli: unknown command 'frobnicate'"),
        ]
        for args, code, message in cases:
            run = subprocess.run([CLI, "--json", "--dir", self.desk] + args, capture_output=True, text=True,
                                 timeout=60)
            self.assertEqual(run.returncode, code, args)
            result = json.loads(run.stdout)
            self.assertEqual(result["exit_code"], code, args)
            self.assertTrue(run.stderr.startswith(message), (args, run.stderr))
            self.assertEqual(result["messages"], run.stderr.splitlines()[:len(result["messages"])], args)

    def test_bash_completion_offers_commands_options_and_profiles(self):
        cases = [
            ("ardmon-cli ''", "list status load"),
            ("ardmon-cli --dir DESK load ''", "A.ini B.ini"),
            ("ardmon-cli --dir DESK load B", "B.ini"),
            ("ardmon-cli list --js", "--json"),
        ]
        for words, expected in cases:
            words = words.replace("DESK", self.desk)
            script = (f"source '{COMPLETION}'; COMP_WORDS=({words}); COMP_CWORD=$((${{#COMP_WORDS[@]}} - 1)); "
                      "_ardmon_cli; echo \"${COMPREPLY[*]}\"")
            run = subprocess.run(["bash", "-c", script], capture_output=True, text=True, timeout=60)
            self.assertEqual(run.stdout.strip(), expected, words)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
