"use strict";
// The viewer's scene: the data blob decoded, the camera with orbit, pan and zoom, and the
// geometry of members, supports and loads. Lengths in m, forces in N in the data; the page
// shows mm, kN and kN m. Colours: undeformed grey, deformed red (or the colour scale),
// diagrams blue (envelope: maximum blue, minimum red), loads green.
window.velm = { ready: false };
const V = window.velm;
const $ = (id) => document.getElementById(id);
const TYPES = { f: Float32Array, i: Int32Array, u: Uint8Array, s: Int16Array };
const RAMP = [[0x2c, 0x7b, 0xb6], [0xab, 0xd9, 0xe9], [0xff, 0xff, 0xbf], [0xfd, 0xae, 0x61],
  [0xd7, 0x19, 0x1c]];

async function inflate(text) {
  const raw = atob(text);
  const bytes = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; i++) bytes[i] = raw.charCodeAt(i);
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate"));
  // The bytes come as four planes: byte k of every 4-byte word in plane k.
  const planes = new Uint8Array(await new Response(stream).arrayBuffer());
  const words = planes.length / 4, out = new Uint8Array(planes.length);
  for (let k = 0; k < 4; k++) {
    const plane = planes.subarray(k * words, (k + 1) * words);
    for (let i = 0; i < words; i++) out[4 * i + k] = plane[i];
  }
  return out.buffer;
}

// The colour of t in [0, 1] on the blue-to-red scale, as three floats.
function ramp(t, out, k) {
  const x = Math.min(Math.max(t, 0), 1) * (RAMP.length - 1);
  const i = Math.min(Math.floor(x), RAMP.length - 2), f = x - i;
  for (let c = 0; c < 3; c++) out[k + c] = (RAMP[i][c] * (1 - f) + RAMP[i + 1][c] * f) / 255;
}

class Model {
  constructor(data, buffer) {
    // An array of the blob; a quantised one (steps along the stations, a scale per component)
    // decoded once into float32.
    const decoded = new Map();
    const get = (ref) => {
      if (!ref) return null;
      if (Array.isArray(ref)) return new TYPES[ref[0]](buffer, ref[1], ref[2]);
      if (!decoded.has(ref)) {
        const steps = get(ref.steps), C = ref.scales.length, S = data.stations;
        const out = new Float32Array(steps.length);
        for (let start = 0; start < steps.length; start += S * C) {
          for (let c = 0; c < C; c++) {
            let level = 0;
            for (let j = 0; j < S; j++) {
              level += steps[start + j * C + c];
              out[start + j * C + c] = level * ref.scales[c];
            }
          }
        }
        decoded.set(ref, out);
      }
      return decoded.get(ref);
    };
    this.data = data;
    this.get = get;
    this.nodeIds = get(data.node_ids);
    this.xyz = get(data.coordinates);
    this.restraints = get(data.restraints);
    this.reactionNodes = get(data.reaction_nodes);
    this.memberIds = get(data.member_ids);
    this.ends = get(data.member_ends);
    this.axes = get(data.member_axes);
    this.lengths = get(data.member_lengths);
    this.sections = get(data.member_sections);
    this.N = this.nodeIds.length;
    this.M = this.memberIds.length;
    this.S = data.stations;
    const lo = [Infinity, Infinity, Infinity], hi = [-Infinity, -Infinity, -Infinity];
    for (let n = 0; n < this.N; n++) {
      for (let k = 0; k < 3; k++) {
        lo[k] = Math.min(lo[k], this.xyz[3 * n + k]);
        hi[k] = Math.max(hi[k], this.xyz[3 * n + k]);
      }
    }
    this.centre = lo.map((v, k) => (v + hi[k]) / 2);
    this.extent = Math.max(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]) || 1;
    this.radius = Math.hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]) / 2 || 1;
    this.up = data.up === "Y" ? [0, 1, 0] : [0, 0, 1];
    this.across = data.up === "Y" ? [[1, 0, 0], [0, 0, 1]] : [[1, 0, 0], [0, 1, 0]];
    this.nodeIndex = new Map();
    this.nodeIds.forEach((id, n) => this.nodeIndex.set(id, n));
    this.memberIndex = new Map();
    this.memberIds.forEach((id, m) => this.memberIndex.set(id, m));
    this.reactionRow = new Map();
    this.reactionNodes.forEach((n, k) => this.reactionRow.set(n, k));
  }

  // The point at fraction s along member m's chord, into out[k..k+2].
  along(m, s, out, k) {
    const a = 3 * this.ends[2 * m], b = 3 * this.ends[2 * m + 1];
    for (let c = 0; c < 3; c++) out[k + c] = this.xyz[a + c] + s * (this.xyz[b + c] - this.xyz[a + c]);
  }

  // Global offsets of every member's stations (M, S, 3) for result set `set`: the member axes
  // turned back to global (u = x ux + y uy + z uz) from the deflections; for a mode, the cubic
  // through the end translations and rotations (v' = rz, w' = -ry), linear along the axis.
  offsets(set) {
    const { M, S, axes } = this;
    const out = new Float32Array(M * S * 3);
    const deflections = this.get(set.deflections);
    const shape = this.get(set.shape);
    if (!deflections && !shape) return out;
    const local = new Float64Array(12);
    for (let m = 0; m < M; m++) {
      const A = axes.subarray(9 * m, 9 * m + 9), L = this.lengths[m];
      if (shape) {
        for (let e = 0; e < 2; e++) {
          const d = 6 * this.ends[2 * m + e];
          for (let r = 0; r < 3; r++) {
            local[6 * e + r] = A[3 * r] * shape[d] + A[3 * r + 1] * shape[d + 1] + A[3 * r + 2] * shape[d + 2];
            local[6 * e + 3 + r] = A[3 * r] * shape[d + 3] + A[3 * r + 1] * shape[d + 4] + A[3 * r + 2] * shape[d + 5];
          }
        }
      }
      for (let j = 0; j < S; j++) {
        let u, v, w;
        if (deflections) {
          const q = 3 * (m * S + j);
          [u, v, w] = [deflections[q], deflections[q + 1], deflections[q + 2]];
        } else {
          const s = j / (S - 1);
          const h1 = 1 - 3 * s * s + 2 * s ** 3, h2 = (s - 2 * s * s + s ** 3) * L;
          const h3 = 3 * s * s - 2 * s ** 3, h4 = (s ** 3 - s * s) * L;
          u = (1 - s) * local[0] + s * local[6];
          v = h1 * local[1] + h2 * local[5] + h3 * local[7] + h4 * local[11];
          w = h1 * local[2] - h2 * local[4] + h3 * local[8] - h4 * local[10];
        }
        const q = 3 * (m * S + j);
        for (let c = 0; c < 3; c++) out[q + c] = u * A[c] + v * A[3 + c] + w * A[6 + c];
      }
    }
    return out;
  }
}

// Orbit (drag), pan (right-drag or shift-drag) and zoom (wheel) about a target, Z up in the
// scene (a Y-up model is turned by the scene's root group).
class Orbit {
  constructor(camera, canvas, model, changed) {
    Object.assign(this, { camera, canvas, model, changed });
    this.target = new THREE.Vector3();
    this.view("iso");
    let last = null;
    canvas.addEventListener("contextmenu", (e) => e.preventDefault());
    canvas.addEventListener("pointerdown", (e) => {
      last = { x: e.clientX, y: e.clientY, pan: e.button === 2 || e.shiftKey, moved: 0 };
      canvas.setPointerCapture(e.pointerId);
    });
    canvas.addEventListener("pointermove", (e) => {
      if (!last || !(e.buttons & 3)) return;
      const dx = e.clientX - last.x, dy = e.clientY - last.y;
      last.x = e.clientX; last.y = e.clientY; last.moved += Math.abs(dx) + Math.abs(dy);
      if (last.pan) this.pan(dx, dy); else this.turn(-dx * 0.008, dy * 0.008);
    });
    canvas.addEventListener("pointerup", () => { this.dragged = last && last.moved > 4; last = null; });
    canvas.addEventListener("wheel", (e) => {
      e.preventDefault();
      this.distance *= Math.exp(Math.sign(e.deltaY) * Math.min(Math.abs(e.deltaY), 200) * 0.002);
      this.update();
    }, { passive: false });
  }

  view(name) {
    const deg = Math.PI / 180;
    const angles = { iso: [-60, 30], front: [-90, 0], side: [0, 0], top: [-90, 89.9] }[name];
    [this.azimuth, this.elevation] = angles.map((a) => a * deg);
    const c = this.model.centre;
    this.target.set(c[0], c[1], c[2]);
    if (this.model.data.up === "Y") this.target.set(c[0], -c[2], c[1]);
    this.distance = this.model.radius / Math.sin(this.camera.fov * deg / 2) * 1.1;
    this.update();
  }

  turn(da, de) {
    this.azimuth += da;
    this.elevation = Math.min(Math.max(this.elevation + de, -1.57), 1.57);
    this.update();
  }

  pan(dx, dy) {
    const k = 2 * this.distance * Math.tan(this.camera.fov * Math.PI / 360) / this.canvas.clientHeight;
    const right = new THREE.Vector3().setFromMatrixColumn(this.camera.matrix, 0);
    const up = new THREE.Vector3().setFromMatrixColumn(this.camera.matrix, 1);
    this.target.addScaledVector(right, -dx * k).addScaledVector(up, dy * k);
    this.update();
  }

  update() {
    const { azimuth: a, elevation: e, distance: d, camera } = this;
    camera.position.set(this.target.x + d * Math.cos(e) * Math.cos(a),
      this.target.y + d * Math.cos(e) * Math.sin(a), this.target.z + d * Math.sin(e));
    camera.up.set(0, 0, 1);
    camera.lookAt(this.target);
    camera.near = Math.max(d - 3 * this.model.radius, d * 0.01);
    camera.far = d + 3 * this.model.radius;
    camera.updateProjectionMatrix();
    camera.updateMatrixWorld();
    this.changed();
  }
}

// Line segments with one colour per vertex, from flat arrays of positions and colours.
function segments(positions, colours, count) {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute("position", new THREE.BufferAttribute(positions, 3));
  geometry.setAttribute("color", new THREE.BufferAttribute(colours, 3));
  geometry.setDrawRange(0, count === undefined ? positions.length / 3 : count);
  return new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true }));
}

// Supports: a pyramid under each held node, pointing at it (fixed: dark, with its base crossed;
// pinned, all translations held: blue; other held directions: orange).
function supportLines(model) {
  const p = [], c = [], h = 0.025 * model.extent, { up, across } = model;
  const colours = { fixed: [0.13, 0.13, 0.14], pinned: [0.1, 0.45, 0.91], partial: [0.89, 0.45, 0] };
  for (let n = 0; n < model.N; n++) {
    const mask = model.restraints[n];
    if (!mask) continue;
    const kind = mask === 63 ? "fixed" : mask === 7 ? "pinned" : "partial";
    const x = [0, 1, 2].map((k) => model.xyz[3 * n + k]);
    const corner = (i, j) => x.map((v, k) => v - h * up[k] + 0.6 * h * (i * across[0][k] + j * across[1][k]));
    const base = [corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1)];
    const lines = [];
    for (let i = 0; i < 4; i++) lines.push(x, base[i], base[i], base[(i + 1) % 4]);
    if (kind === "fixed") lines.push(base[0], base[2], base[1], base[3]);
    for (const point of lines) { p.push(...point); c.push(...colours[kind]); }
  }
  return segments(new Float32Array(p), new Float32Array(c));
}

// Arrows of the loads of `factors` (load case id to factor): nodal forces at their nodes, line
// loads as three arrows along their loaded part; the largest drawn 6 % (4 %) of the extent.
function loadLines(model, factors) {
  const p = [], loads = model.data.loads || [];
  const nodal = new Map(), lines = [];
  for (const entry of loads) {
    const f = factors[String(entry.case)];
    if (!f) continue;
    const nodes = model.get(entry.nodal_nodes), forces = model.get(entry.nodal_forces);
    nodes.forEach((n, k) => {
      const sum = nodal.get(n) || [0, 0, 0];
      for (let c = 0; c < 3; c++) sum[c] += f * forces[3 * k + c];
      nodal.set(n, sum);
    });
    const members = model.get(entry.line_members), values = model.get(entry.line_values);
    members.forEach((m, k) => lines.push([m, f, values.subarray(8 * k, 8 * k + 8)]));
  }
  const arrow = (head, dir, length) => {
    const tail = head.map((v, c) => v - dir[c] * length);
    const side = Math.abs(dir[2]) < 0.9 ? [0, 0, 1] : [1, 0, 0];
    const cross = [dir[1] * side[2] - dir[2] * side[1], dir[2] * side[0] - dir[0] * side[2],
      dir[0] * side[1] - dir[1] * side[0]];
    const norm = Math.hypot(...cross) || 1;
    p.push(...tail, ...head);
    for (const sign of [1, -1]) {
      p.push(...head, ...head.map((v, c) => v - 0.25 * length * dir[c] + sign * 0.12 * length * cross[c] / norm));
    }
  };
  let largest = 0;
  for (const force of nodal.values()) largest = Math.max(largest, Math.hypot(...force));
  for (const [n, force] of nodal) {
    const size = Math.hypot(...force);
    if (size === 0) continue;
    const head = [0, 1, 2].map((k) => model.xyz[3 * n + k]);
    arrow(head, force.map((v) => v / size), 0.06 * model.extent * Math.max(size / largest, 0.2));
  }
  let widest = 0;
  for (const [, f, v] of lines) widest = Math.max(widest, Math.abs(f * v[3]), Math.abs(f * v[4]));
  for (const [m, f, v] of lines) {
    const L = model.lengths[m], A = model.axes.subarray(9 * m, 9 * m + 9);
    const dir = v[7] ? [0, 1, 2].map((k) => v[0] * A[k] + v[1] * A[3 + k] + v[2] * A[6 + k]) : [v[0], v[1], v[2]];
    const a = Math.min(Math.max(v[5], 0), L), b = Math.min(Math.max(v[6], 0), L);
    for (const s of [0, 0.5, 1]) {
      const w = f * (v[3] + s * (v[4] - v[3]));
      if (w === 0 || L === 0) continue;
      const head = [0, 0, 0];
      model.along(m, (a + s * (b - a)) / L, head, 0);
      arrow(head, dir.map((d) => d * Math.sign(w)), 0.04 * model.extent * Math.max(Math.abs(w) / widest, 0.2));
    }
  }
  const colours = new Float32Array(p.length);
  for (let i = 0; i < colours.length; i += 3) colours.set([0.09, 0.5, 0.22], i);
  return segments(new Float32Array(p), colours);
}
