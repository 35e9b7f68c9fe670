// Always in view above the scrolling content: the running operation with Cancel (or why it
// cannot be cancelled), the host's error (assertive) and notice (polite), a hub update on its
// way, and the announcements of an operation's start and end.
import { useEffect, useRef, useState } from 'react';
import { send } from './host';
import type { Snapshot } from './model';
import { ProgressBar } from './ProgressBar';
import { cancelRefusal, componentTitle, downloadText, operationTitle } from './text';

function OperationView({ snapshot, title }: { snapshot: Snapshot; title: string }) {
  const { operation } = snapshot;
  const refusal = cancelRefusal(operation);
  const details = [operation.message || 'Starting…', downloadText(operation)].filter(Boolean).join(' · ');
  return (
    <div className="strip-operation">
      <p className="operation-title">
        <span>{title}</span>
        {operation.progress >= 0 && <span className="percent">{operation.progress}%</span>}
      </p>
      <ProgressBar value={operation.progress} label={title} />
      <p className="operation-message">{details}</p>
      {refusal ? <p className="operation-refusal" tabIndex={-1} data-operation-control>{refusal}</p> : (
        <button type="button" data-operation-control onClick={() => send({ type: 'cancelOperation' })}>Cancel</button>
      )}
    </div>
  );
}

function Banner({ kind, text }: { kind: 'error' | 'notice'; text: string }) {
  if (!text) return null;
  const dismiss = kind === 'error' ? 'dismissError' : 'dismissNotice';
  return (
    <div className={`banner ${kind}`}>
      <p>{text}</p>
      <button type="button" aria-label={`Dismiss ${kind}`} onClick={() => send({ type: dismiss })}>Dismiss</button>
    </div>
  );
}

function HubUpdate({ update }: { update: Snapshot['update'] }) {
  if (update.state === 'downloading') return <p className="strip-update">Downloading Orvantis Hub {update.version}: {update.progress}%</p>;
  if (update.state === 'ready') return <p className="strip-update ready">Orvantis Hub {update.version} installs after exit.</p>;
  return null;
}

export function StatusStrip({ snapshot }: { snapshot: Snapshot }) {
  const { operation } = snapshot;
  const busy = snapshot.components.find((c) => c.id === operation.componentId);
  const title = operationTitle(operation.action, busy ? componentTitle(snapshot, busy) : operation.componentId);
  return (
    <section className="strip" aria-label="Status">
      {operation.active && <OperationView snapshot={snapshot} title={title} />}
      <div role="alert" className="strip-region"><Banner kind="error" text={snapshot.error} /></div>
      <div role="status" className="strip-region"><Banner kind="notice" text={snapshot.notice} /></div>
      <HubUpdate update={snapshot.update} />
      <OperationAnnouncer active={operation.active} title={title} />
    </section>
  );
}

function OperationAnnouncer({ active, title }: { active: boolean; title: string }) {
  const [text, setText] = useState('');
  const previous = useRef({ active: false, title: '' });
  useEffect(() => {
    const before = previous.current;
    if (active && !before.active) {
      setText(`${title} started.`);
      previous.current = { active: true, title };
    } else if (!active && before.active) {
      setText(`${before.title} ended.`);
      previous.current = { active: false, title: '' };
    }
  }, [active, title]);
  return <p className="visually-hidden" aria-live="polite">{text}</p>;
}
