import { expect, it } from 'vitest';
import { allowed, component, notApplicable, ready, refused } from '../e2e/fixtures';
import { cardModel } from './cardModel';
import type { ActionName, Component } from './model';

const camera = (actions: Partial<Component['actions']>) =>
  ({ ...component(ready(), 'orv-camera'), actions: { ...component(ready(), 'orv-camera').actions, ...actions } });
const busy = refused('Another operation is in progress.');
const rows: { name: string; card: Component; pending?: ActionName; actions: string; allowed: string; reasons: string[] }[] = [
  { name: 'a package keeps three slots, none applying', card: { ...component(ready(), 'quenby-weapons-patch'),
    actions: { ...component(ready(), 'quenby-weapons-patch').actions, install: notApplicable, uninstall: notApplicable } },
  actions: 'install uninstall openFolder', allowed: '', reasons: [] },
  { name: 'Launch and Stop keep a slot each while running', card: camera({ launch: notApplicable, stop: allowed }),
    actions: 'install uninstall openFolder launch stop createShortcut', allowed: 'openFolder stop createShortcut',
    reasons: ['Close Camera System before updating it.', 'Close Camera System before uninstalling it.'] },
  { name: 'a pressed button waits, and the whole card with it', card: camera({ launch: allowed, stop: notApplicable }), pending: 'launch',
    actions: 'install uninstall openFolder launch stop createShortcut', allowed: '',
    reasons: ['Close Camera System before updating it.', 'Close Camera System before uninstalling it.'] },
  { name: 'one reason refusing several buttons is told once', card: camera({ install: busy, uninstall: busy, createShortcut: busy }),
    actions: 'install uninstall openFolder launch stop createShortcut', allowed: 'openFolder stop', reasons: [busy.reason] },
];

it.each(rows)('$name', ({ card, pending, actions, allowed: enabled, reasons }) => {
  const model = cardModel(card, pending ?? null);
  expect(model.slots.map((s) => s.action).join(' ')).toBe(actions);
  expect(model.slots.filter((s) => s.allowed).map((s) => s.action).join(' ')).toBe(enabled);
  expect(model.reasons).toEqual(reasons);
  expect(model.slots.filter((s) => s.pending).map((s) => s.action)).toEqual(pending ? [pending] : []);
  for (const slot of model.slots) expect(model.reasons[slot.reason] ?? '').toBe(slot.allowed ? '' : card.actions[slot.action].reason);
});
