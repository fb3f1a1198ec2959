'use strict';
// One velmorant-host session, taking its steps from standard input (the step "-"), driven synchronously: the
// AVM2 runs ActionScript that waits for each answer, so a worker thread serves the session's pipes while the
// caller blocks on a shared flag. Each answer is the next line the host writes; one that does not come in time,
// or a host that ends first, is an Error that says so.
const { Worker } = require('node:worker_threads');

// The worker: starts the host, hands over its output line by line, each when asked for, and its end.
const SERVE = String.raw`
const { workerData: { command, args, cwd, shared }, parentPort } = require('node:worker_threads');
const { spawn } = require('node:child_process');
const flag = new Int32Array(shared, 0, 2);
const text = new Uint8Array(shared, 8);
const lines = [];
let asked = false, partial = '', errors = '', ended = null;
const child = spawn(command, args, { cwd, stdio: ['pipe', 'pipe', 'pipe'] });
child.stdin.on('error', () => {}); // a host that has ended reads no more; its end is reported instead
function give() {
  if (!asked || (!lines.length && ended === null)) return;
  const [kind, line] = lines.length ? [1, lines.shift()] : [2, ended];
  const bytes = Buffer.from(line).subarray(0, text.length);
  text.set(bytes);
  Atomics.store(flag, 1, bytes.length);
  Atomics.store(flag, 0, kind);
  Atomics.notify(flag, 0);
  asked = false;
}
child.stdout.setEncoding('utf8').on('data', (data) => {
  const parts = (partial + data).replaceAll('\r\n', '\n').split('\n');
  partial = parts.pop();
  lines.push(...parts);
  give();
});
child.stderr.setEncoding('utf8').on('data', (data) => { errors += data; });
child.on('error', (error) => { ended = 'could not start: ' + error.message; give(); });
child.on('close', (status, signal) => {
  // The host's own lines, which name it, and Wine's report of an unhandled exception in it; nothing else that
  // Wine may write there.
  const own = errors.split(/\r?\n/).filter((l) => /^(velmorant-host|Try 'velmorant-host|wine: Unhandled )/.test(l));
  ended = 'ended (' + (signal || 'exit status ' + status) + ')'
    + (own.length ? '; its standard error: ' + own.join('\n') : '');
  give();
});
parentPort.on('message', ({ line, next, end }) => {
  if (line !== undefined) child.stdin.write(line + '\n');
  if (end) child.stdin.end();
  if (next) { asked = true; give(); }
});
`;

function startSession(command, args, { cwd, timeout = 60_000 } = {}) {
  const shared = new SharedArrayBuffer(8 + 64 * 1024);
  const flag = new Int32Array(shared, 0, 2);
  const worker = new Worker(SERVE, { eval: true, workerData: { command, args, cwd, shared } });
  worker.unref();
  let ended = null;
  // The next line of output; an Error once the host has ended or does not answer in time.
  function next(waitingFor) {
    if (ended) throw new Error(`velmorant-host ${ended}, before answering ${waitingFor}`);
    Atomics.store(flag, 0, 0);
    worker.postMessage({ next: true });
    if (Atomics.wait(flag, 0, 0, timeout) === 'timed-out') {
      ended = `did not answer within ${timeout / 1000} s`;
      throw new Error(`velmorant-host ${ended}: ${waitingFor}`);
    }
    const line = Buffer.from(new Uint8Array(shared, 8, Atomics.load(flag, 1))).toString();
    if (Atomics.load(flag, 0) === 2) {
      ended = line;
      throw new Error(`velmorant-host ${ended}, before answering ${waitingFor}`);
    }
    return line;
  }
  return {
    next,
    // Sends one step and returns the host's answer line.
    step(line) {
      worker.postMessage({ line });
      return next(`'${line}'`);
    },
    // Ends the input, and waits for the host to end; returns how it ended.
    close() {
      worker.postMessage({ end: true });
      try {
        for (;;) next('the end of its input');
      } catch (error) {
        return ended;
      } finally {
        worker.terminate();
      }
    },
  };
}

module.exports = { startSession };
